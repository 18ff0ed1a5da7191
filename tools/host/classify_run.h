// Classifying many image files with the loaded plug-in: headers read on
// several threads, results printed in file order, a summary at the end.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "file_list.h"
#include "options.h"
#include "plugin/plugin_api.h"

struct RunReport {
    std::size_t images = 0;  // read and classified
    std::size_t unreadable = 0;  // reported on the error stream and skipped
    std::size_t sidecarsFailed = 0;  // --xmp: named on the error stream, left as they were
    std::size_t embeddedFailed = 0;  // --embed: images named on the error stream, left as they were
};

// One line per image on `out` (text, or a JSON object per line), a summary
// and the unreadable files on `err`, and a progress line on `err` when it is
// a terminal and many files are queued. With --xmp each image's sidecar,
// with --embed the packet inside it, is brought up to date after its
// classification, on the same worker thread.
// Of the files' problems, those found before the run are the caller's to
// name; a folder that can no longer be read is named when its turn comes.
RunReport classifyFiles(const PluginApi& api, const ConditionList* list, ImageFiles& files, const Options& options,
                        std::FILE* out, std::FILE* err);
