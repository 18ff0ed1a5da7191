// Our dialog templates checked against their tables: as the resource of the
// module holds them, and as the dialog manager made the live children.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "dialog_driver.h"

struct TemplateItem {
    int id;
    std::string cls;
    std::string text;
    DWORD style;
    short x, y, cx, cy;
};

// The Japanese (1041) template `id` of this program's module: the extended
// form, style 0x80C800C8 with no extended style, no menu or class, this
// caption, the 8-point "MS Shell Dlg" font, and exactly these items.
void expectResourceTemplate(WORD id, const std::string& caption, const std::vector<TemplateItem>& items);
// The active dialog's children in sibling order: ids, classes, and the texts
// of controls that do not show data.
driver::Step liveChildren(const std::vector<TemplateItem>& items);
