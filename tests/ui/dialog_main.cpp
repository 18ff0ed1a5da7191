// The dialog suites' entry: registers the common controls first, the duty of
// every host that opens the plug-in's dialogs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES};
    if (!InitCommonControlsEx(&controls)) return 3;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
