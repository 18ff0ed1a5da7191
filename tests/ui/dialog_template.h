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

// The Japanese (1041) template `id` of this program's module, checked for the
// extended form, no extended styles, no menu or class, and the 8-point
// "MS Shell Dlg" font; empty when there is none.
std::vector<TemplateItem> readTemplate(WORD id, std::string& caption, DWORD& style);
void expectTemplate(const std::vector<TemplateItem>& actual, const TemplateItem* expected, std::size_t count);
// The active dialog's children in sibling order: ids, classes, and the texts
// of controls that do not show data.
driver::Step liveChildren(const TemplateItem* expected, std::size_t count);
