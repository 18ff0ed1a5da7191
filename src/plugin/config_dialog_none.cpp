// acConfigDlg where there is no window system: the dialog cannot be created,
// so the call returns at once and the list stays as it was, as on Windows
// when a dialog fails to open.
#include "pixtagger.h"

extern "C" {

void PIXTAGGER_CALL acConfigDlg(ConditionList*, PixtaggerWindow) {}

}  // extern "C"
