// The editor's check of an attribute name before it accepts a rule: a name must
// not be empty and must not hold a backslash (the host reads it as a path).
#pragma once

enum class AttributeNameFault {
    None,
    Empty,
    Backslash,
};

// Scans byte by byte in code page 932, the rule file's, whatever the system's:
// the second byte of a two-byte character (0x5C in 表) is never taken for a
// backslash, and a lead byte just before the terminator ends the scan without
// reading past it.
AttributeNameFault checkAttributeName(const char* name);
