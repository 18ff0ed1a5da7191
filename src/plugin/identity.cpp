// The plug-in's identity: version, summary and the state bit it needs. Static
// texts, valid for as long as the library is loaded; callable before any list.
#include "pixtagger.h"
#include "plugin/version.h"
#include "texts/cp932_texts.h"

extern "C" {

const char* PIXTAGGER_CALL acGetVersion(void) { return PIXTAGGER_VERSION; }

const char* PIXTAGGER_CALL acGetSummary(void) { return pixtagger::texts::kSummary; }

int32_t PIXTAGGER_CALL acGetRequireOfPIState(void) { return PIXTAGGER_REQUIRED_STATE; }

}  // extern "C"
