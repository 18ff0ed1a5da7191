/*
 * pixtagger.h: the interface of the pixtagger plug-in for host applications,
 * usable from C and C++. Declares the twelve exports, the opaque handles the
 * plug-in hands out, the host's image record, and pointer types for hosts that
 * load the library at run time (LoadLibrary/GetProcAddress, dlopen/dlsym).
 *
 * Calling order: acLoadConfig first; then, in any order, acConfigDlg,
 * acSaveConfig and, per image, acGetAC, the accessors and acReleaseAC;
 * acReleaseConfig last. acGetVersion, acGetSummary and acGetRequireOfPIState
 * may be called at any time. Every object the plug-in returns is freed only
 * through its release function: it lives in the plug-in's own heap.
 * Texts are narrow, zero-terminated, code page 932.
 */
#ifndef PIXTAGGER_H
#define PIXTAGGER_H

#include <stdint.h>

#if defined(_WIN32)
#include <windows.h>
#define PIXTAGGER_CALL __stdcall
#define PIXTAGGER_API
typedef HWND PixtaggerWindow;
#else
#define PIXTAGGER_CALL
#define PIXTAGGER_API __attribute__((visibility("default")))
typedef struct HWND__* PixtaggerWindow; /* NOLINT(bugprone-reserved-identifier): Windows' own name */
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handles: allocated by the plug-in, owned by the host, released only
   through acReleaseConfig and acReleaseAC. */
typedef struct ConditionList ConditionList;
typedef struct AttributeResult AttributeResult;

/* The state bit that acGetAC requires in ImageRecord.stateFlags; the same
   value acGetRequireOfPIState returns. */
#define PIXTAGGER_REQUIRED_STATE 8

/* The host's record of one image. The plug-in reads only these three fields
   and never writes; the bytes between them, and any after height, are the
   host's own. */
typedef struct ImageRecord {
    uint32_t stateFlags; /* byte 0: states the host has completed */
    uint8_t hostFields[16]; /* bytes 4 to 19: not read by the plug-in */
    int32_t width; /* byte 20: width in pixels */
    int32_t height; /* byte 24: height in pixels */
} ImageRecord;

/*  1 */ PIXTAGGER_API void PIXTAGGER_CALL acConfigDlg(ConditionList* list, PixtaggerWindow parent);
/*  2 */ PIXTAGGER_API AttributeResult* PIXTAGGER_CALL acGetAC(const ImageRecord* image, const ConditionList* list);
/*  3 */ PIXTAGGER_API const char* PIXTAGGER_CALL acGetAttName(const AttributeResult* result, uint32_t index);
/*  4 */ PIXTAGGER_API int32_t PIXTAGGER_CALL acGetAttNum(const AttributeResult* result);
/*  5 */ PIXTAGGER_API const char* PIXTAGGER_CALL acGetCatPath(const AttributeResult* result, uint32_t index);
/*  6 */ PIXTAGGER_API int32_t PIXTAGGER_CALL acGetRequireOfPIState(void);
/*  7 */ PIXTAGGER_API const char* PIXTAGGER_CALL acGetSummary(void);
/*  8 */ PIXTAGGER_API const char* PIXTAGGER_CALL acGetVersion(void);
/*  9 */ PIXTAGGER_API ConditionList* PIXTAGGER_CALL acLoadConfig(const char* path);
/* 10 */ PIXTAGGER_API void PIXTAGGER_CALL acReleaseAC(AttributeResult* result);
/* 11 */ PIXTAGGER_API void PIXTAGGER_CALL acReleaseConfig(ConditionList* list);
/* 12 */ PIXTAGGER_API void PIXTAGGER_CALL acSaveConfig(const ConditionList* list, const char* path);

/* Pointer types for hosts that resolve the exports at run time. */
typedef void(PIXTAGGER_CALL* PFN_acConfigDlg)(ConditionList*, PixtaggerWindow);
typedef AttributeResult*(PIXTAGGER_CALL* PFN_acGetAC)(const ImageRecord*, const ConditionList*);
typedef const char*(PIXTAGGER_CALL* PFN_acGetAttName)(const AttributeResult*, uint32_t);
typedef int32_t(PIXTAGGER_CALL* PFN_acGetAttNum)(const AttributeResult*);
typedef const char*(PIXTAGGER_CALL* PFN_acGetCatPath)(const AttributeResult*, uint32_t);
typedef int32_t(PIXTAGGER_CALL* PFN_acGetRequireOfPIState)(void);
typedef const char*(PIXTAGGER_CALL* PFN_acGetSummary)(void);
typedef const char*(PIXTAGGER_CALL* PFN_acGetVersion)(void);
typedef ConditionList*(PIXTAGGER_CALL* PFN_acLoadConfig)(const char*);
typedef void(PIXTAGGER_CALL* PFN_acReleaseAC)(AttributeResult*);
typedef void(PIXTAGGER_CALL* PFN_acReleaseConfig)(ConditionList*);
typedef void(PIXTAGGER_CALL* PFN_acSaveConfig)(const ConditionList*, const char*);

#ifdef __cplusplus
}
#endif

#endif /* PIXTAGGER_H */
