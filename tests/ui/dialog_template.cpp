#include "dialog_template.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A DLGTEMPLATEEX read field by field.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* at) : at_(at) {}
    template <class T>
    T next() {
        T value;
        std::memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    std::string nameOrOrdinal() {
        static const char* const kOrdinals[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
        WORD first = next<WORD>();
        if (first == 0xFFFF) return kOrdinals[next<WORD>() - 0x80];
        std::wstring wide;
        for (WORD c = first; c != 0; c = next<WORD>()) wide += static_cast<wchar_t>(c);
        return driver::encode(wide);
    }
    void alignToDword(const BYTE* base) { at_ += (4 - (at_ - base) % 4) % 4; }

private:
    const BYTE* at_;
};

std::vector<TemplateItem> readTemplate(WORD id, std::string& caption, DWORD& style) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(self, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(id),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (found == nullptr) return {};
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(self, found)));
    TemplateReader in(base);
    EXPECT_EQ(in.next<WORD>(), 1);  // version
    EXPECT_EQ(in.next<WORD>(), 0xFFFF);  // extended template
    in.next<DWORD>();
    EXPECT_EQ(in.next<DWORD>(), 0u);  // no extended style
    style = in.next<DWORD>();
    WORD count = in.next<WORD>();
    for (int i = 0; i < 4; ++i) in.next<short>();
    EXPECT_EQ(in.nameOrOrdinal(), "");  // menu
    EXPECT_EQ(in.nameOrOrdinal(), "");  // class
    caption = in.nameOrOrdinal();
    EXPECT_EQ(in.next<WORD>(), 8);  // point size
    EXPECT_EQ(in.next<WORD>(), 400);  // weight
    EXPECT_EQ(in.next<BYTE>(), 0);  // not italic
    EXPECT_EQ(in.next<BYTE>(), 1);  // character set
    EXPECT_EQ(in.nameOrOrdinal(), "MS Shell Dlg");
    std::vector<TemplateItem> items;
    for (WORD i = 0; i < count; ++i) {
        in.alignToDword(base);
        TemplateItem item{};
        in.next<DWORD>();
        EXPECT_EQ(in.next<DWORD>(), 0u) << "extended style of item " << i;
        item.style = in.next<DWORD>();
        item.x = in.next<short>();
        item.y = in.next<short>();
        item.cx = in.next<short>();
        item.cy = in.next<short>();
        item.id = static_cast<int>(in.next<DWORD>());
        item.cls = in.nameOrOrdinal();
        item.text = in.nameOrOrdinal();
        in.next<WORD>();  // no creation data
        items.push_back(item);
    }
    return items;
}

}  // namespace

void expectResourceTemplate(WORD id, const std::string& caption, const std::vector<TemplateItem>& items) {
    std::string actualCaption;
    DWORD style = 0;
    const std::vector<TemplateItem> actual = readTemplate(id, actualCaption, style);
    EXPECT_EQ(actualCaption, caption);
    EXPECT_EQ(style, 0x80C800C8u);
    ASSERT_EQ(actual.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TemplateItem& a = actual[i];
        const TemplateItem& e = items[i];
        // windres stores a class name in capitals; the dialog manager ignores case.
        EXPECT_TRUE(a.id == e.id && _stricmp(a.cls.c_str(), e.cls.c_str()) == 0 && a.text == e.text &&
                    a.style == e.style && a.x == e.x && a.y == e.y && a.cx == e.cx && a.cy == e.cy)
            << "item " << i + 1 << ": " << a.id << " " << a.cls << " \"" << a.text << "\" " << std::hex << a.style;
    }
}

// The live children, in sibling order, as the dialog manager made them.
driver::Step liveChildren(const std::vector<TemplateItem>& expected) {
    return driver::look([expected](HWND dialog) {
        const std::size_t count = expected.size();
        std::size_t i = 0;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT), ++i) {
            ASSERT_LT(i, count);
            char cls[32] = {};
            GetClassNameA(child, cls, sizeof cls);
            EXPECT_EQ(GetDlgCtrlID(child), expected[i].id) << "child " << i + 1;
            EXPECT_STRCASEEQ(cls, expected[i].cls.c_str()) << "child " << i + 1;
            if (expected[i].cls != "ComboBox" && expected[i].cls != "Edit") {  // those show the rule
                EXPECT_EQ(driver::text(child), expected[i].text) << "child " << i + 1;
            }
        }
        EXPECT_EQ(i, count);
    });
}
