#include "classify_run.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <future>
#include <map>
#include <new>
#include <stdexcept>
#include <thread>
#include <utility>

#include "file_list.h"
#include "images/embedded_xmp.h"
#include "images/image_size.h"
#include "ordered_batches.h"
#include "sidecars/xmp_sidecar.h"
#include "system/file_kind.h"
#include "system/text_output.h"
#include "terminal.h"
#include "text/messages.h"
#include "text/path_text.h"
#include "text/text_encoding.h"
#include "xmp/exiv2_xmp.h"

namespace {

// Files classified at a time: enough to keep every core busy past the
// batches that end each run of them, few enough to weigh little.
constexpr std::size_t kFilesAtOnce = 4096;

struct Attribute {
    std::string name;  // UTF-8
    std::string category;  // UTF-8; empty: none
    bool hasCategory = false;
};

struct Result {
    bool readable = false;
    std::string error;
    ImageSize size;
    std::vector<Attribute> attributes;
    SidecarResult sidecar;
    EmbedResult embedded;
};

// --xmp and --embed: each image's sidecar and the image's own packet, on
// the worker that classified it. The new files wait in one group and reach
// the disk together when the first of them is about to be printed. Files
// are numbered across the whole run; a file's sidecar is tagged 2i, its
// image 2i + 1.
class KeywordStep {
public:
    // Before the workers start: Exiv2's namespace registry is not for
    // threads to fill.
    explicit KeywordStep(const Options& options)
        : on_(options.xmp || options.embed),
          xmp_(options.xmp),
          embed_(options.embed),
          run_(options.dryRun ? nullptr : &group_),
          images_(options.dryRun ? nullptr : &group_) {
        if (!on_) return;
        registerPixtaggerXmpNamespace();
        repeats_ = RepeatedImages(options.paths);
    }
    ~KeywordStep() {
        if (on_) releaseXmpNamespaces();  // the workers are done
    }
    KeywordStep(const KeywordStep&) = delete;
    KeywordStep& operator=(const KeywordStep&) = delete;

    // Before the workers take `files`, numbered from `first`.
    void prepare(const std::vector<std::filesystem::path>& files, std::size_t first) {
        if (!on_) return;
        first_ = first;
        repeated_.assign(files.size(), false);
        for (std::size_t i = 0; i < files.size(); ++i) repeated_[i] = repeats_.repeated(files[i]);
    }

    void update(std::size_t i, const std::filesystem::path& path, Result& r) {
        if (repeated_[i - first_]) return;
        std::vector<Keyword> keywords;
        for (const Attribute& a : r.attributes) keywords.push_back({a.name, a.category});
        if (xmp_) r.sidecar = run_.sync(path, r.size.video, keywords, 2 * i);
        if (embed_) r.embedded = images_.sync(path, r.size.video, keywords, 2 * i + 1);
    }

    // Whether the staged file of a tag has been committed.
    bool known(std::size_t i) const { return outcomes_.count(i) != 0; }

    // For a staged file, from the printing thread: why it could not be put
    // in place, or an empty text. Commits what is staged when needed.
    std::string committed(std::size_t i) {
        auto it = outcomes_.find(i);
        if (it == outcomes_.end()) {
            for (const AtomicFileGroup::Outcome& o : group_.commit()) outcomes_[o.tag] = o.error;
            it = outcomes_.find(i);
        }
        std::string error = it != outcomes_.end() ? it->second : tr("lost before it was written");
        if (it != outcomes_.end()) outcomes_.erase(it);
        return error;
    }

private:
    bool on_, xmp_, embed_;
    RepeatedImages repeats_;
    std::vector<bool> repeated_;  // of the files prepared
    std::size_t first_ = 0;
    AtomicFileGroup group_;
    SidecarRun run_;
    EmbedRun images_;
    std::map<std::size_t, std::string> outcomes_;
};

// "<what>_changed", and on a dry run what would be added and removed.
std::string changeJson(const char* what, bool changed, const KeywordEdits& e, bool dryRun) {
    std::string members = std::string(",\"") + what + "_changed\":" + (changed ? "true" : "false");
    if (!dryRun) return members;
    for (const auto& [name, edits] : {std::make_pair("add", &e.added), std::make_pair("remove", &e.removed)}) {
        members += std::string(",\"") + what + "_" + name + "\":[";
        for (std::size_t i = 0; i < edits->size(); ++i) {
            members += (i > 0 ? ",{\"property\":" : "{\"property\":") + jsonString((*edits)[i].property) +
                       ",\"value\":" + jsonString((*edits)[i].value) + "}";
        }
        members += "]";
    }
    return members;
}

// With --xmp, "sidecar" (its path written as the image's own is, or null)
// and its changes; with --embed, the image's.
std::string metadataJson(const Result& r, const Options& options) {
    std::string members;
    if (options.xmp) {
        const SidecarResult& s = r.sidecar;
        members += s.path.empty() ? ",\"sidecar\":null" : "," + pathJsonMembers(s.path, "sidecar");
        const bool changed = s.status == SidecarResult::Status::Created || s.status == SidecarResult::Status::Updated;
        members += changeJson("sidecar", changed, s.edits, options.dryRun);
    }
    if (options.embed)
        members += changeJson("embedded", r.embedded.status == EmbedResult::Status::Updated, r.embedded.edits,
                              options.dryRun);
    return members;
}

// A dry run's line under the image's: the file and its edits, the values
// taken out (-) and put in (+).
std::string dryRunLine(const char* sentence, const std::filesystem::path& path, const KeywordEdits& e) {
    std::string edits;
    for (const auto& [sign, list] : {std::make_pair("-", &e.removed), std::make_pair("+", &e.added)}) {
        for (const KeywordEdit& edit : *list) {
            if (!edits.empty()) edits += ", ";
            edits.append(sign).append(" ").append(edit.property).append(" ").append(jsonString(edit.value));
        }
    }
    if (edits.empty()) edits = tr("only our record of what is ours");
    return "  " + tr(sentence, {pathText(path), edits}) + "\n";
}

std::string dryRunLines(const std::filesystem::path& image, const Result& r) {
    std::string lines;
    const SidecarResult& s = r.sidecar;
    if (s.status == SidecarResult::Status::Created || s.status == SidecarResult::Status::Updated)
        lines += dryRunLine(s.status == SidecarResult::Status::Created ? N_("would create %s: %s")
                                                                       : N_("would update %s: %s"),
                            s.path, s.edits);
    if (r.embedded.status == EmbedResult::Status::Updated)
        lines += dryRunLine(N_("would write into %s: %s"), image, r.embedded.edits);
    return lines;
}

// A file's line on the error stream: its name and the reason.
void say(std::FILE* err, const std::filesystem::path& path, const std::string& reason) {
    writeProgramLine(err, pathText(path) + ": " + reason);
}

// Libraries' messages may end in a newline or hold one; each file's reason
// is one line of the error stream.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

Result classifyOne(const PluginApi& api, const ConditionList* list, const std::filesystem::path& path) {
    Result r;
    const std::string kind = nonFileKind(path);
    if (!kind.empty()) {
        r.error = tr("%s, not an image or video file", {kind});
        return r;
    }
    if (!readImageSize(path, r.size, r.error)) {
        r.error = oneLine(r.error);
        return r;
    }
    if (r.size.width > INT32_MAX || r.size.height > INT32_MAX) {
        r.error = tr("a side beyond 2147483647 pixels does not fit the host's image record");
        return r;
    }
    r.readable = true;
    ImageRecord record{};
    record.stateFlags = static_cast<std::uint32_t>(api.requiredState());
    record.width = static_cast<std::int32_t>(r.size.width);
    record.height = static_cast<std::int32_t>(r.size.height);
    AttributeResult* result = api.getAC(&record, list);
    for (std::int32_t i = 0; result != nullptr && i < api.attNum(result); ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        const char* category = api.catPath(result, index);
        r.attributes.push_back(
            {cp932ToUtf8(api.attName(result, index)), category ? cp932ToUtf8(category) : "", category != nullptr});
    }
    api.releaseAC(result);  // every result goes back, null included
    return r;
}

std::string textLine(const std::filesystem::path& path, const Result& r) {
    const std::int64_t area = std::int64_t{r.size.width} * r.size.height;
    std::string line = pathText(path) + "\t" + std::to_string(r.size.width) + "\xC3\x97" +
                       std::to_string(r.size.height) + "\t" + std::to_string(area) + " px\t";
    if (r.attributes.empty()) return line + "(no matching rule)\n";
    for (std::size_t i = 0; i < r.attributes.size(); ++i) {
        if (i > 0) line += ", ";
        line += r.attributes[i].name;
        if (r.attributes[i].hasCategory) line += " [" + r.attributes[i].category + "]";
    }
    return line + "\n";
}

std::string jsonLine(const std::filesystem::path& path, const Result& r, const std::string& more) {
    const std::int64_t area = std::int64_t{r.size.width} * r.size.height;
    std::string line = "{" + pathJsonMembers(path) + ",\"width\":" + std::to_string(r.size.width) +
                       ",\"height\":" + std::to_string(r.size.height) + ",\"area\":" + std::to_string(area);
    // A video's stored size is before its rotation, which comes beside it.
    if (r.size.video) line += ",\"kind\":\"video\"";
    if (r.size.rotation >= 0) line += ",\"rotation\":" + std::to_string(r.size.rotation);
    line += ",\"attributes\":[";
    for (std::size_t i = 0; i < r.attributes.size(); ++i) {
        if (i > 0) line += ",";
        line += "{\"name\":" + jsonString(r.attributes[i].name) +
                ",\"category\":" + (r.attributes[i].hasCategory ? jsonString(r.attributes[i].category) : "null") + "}";
    }
    return line + "]" + more + "}\n";
}

// A single updating line: done / total and images per second.
class Progress {
public:
    Progress(std::FILE* out, std::FILE* err, std::size_t total)
        : err_(err), total_(total), on_(total > 300 && isTerminal(err)), sharesTerminal_(on_ && isTerminal(out)) {}

    // Whether lines written to `out` appear on the progress line's terminal.
    bool sharesTerminal() const { return sharesTerminal_; }

    void update(std::size_t done) {
        if (!on_) return;
        const auto now = std::chrono::steady_clock::now();
        if (done != total_ && now - shown_ < std::chrono::milliseconds(100)) return;
        shown_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const auto rate = static_cast<unsigned long long>(seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
        writeText(err_, "\r\033[K" + tr("%s / %s  %s files/s",
                                        {std::to_string(done), std::to_string(total_), std::to_string(rate)}));
        std::fflush(err_);
        visible_ = true;
    }

    // Before anything else is written to the terminal.
    void clear() {
        if (!visible_) return;
        std::fputs("\r\033[K", err_);
        std::fflush(err_);
        visible_ = false;
    }

private:
    std::FILE* err_;
    std::size_t total_;
    bool on_;
    bool sharesTerminal_;
    bool visible_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
};

}  // namespace

RunReport classifyFiles(const PluginApi& api, const ConditionList* list, ImageFiles& files, const Options& options,
                        std::FILE* out, std::FILE* err) {
    // Reading headers is the cost: every core, this thread's included, takes
    // batches of files, and this thread prints each result once all before
    // it are printed. The files come a few thousand at a time, numbered
    // from `first` across the run.
    KeywordStep keywordStep(options);
    RunReport report;
    std::map<std::string, std::size_t> counts;
    std::size_t sidecars[5] = {};  // by SidecarResult::Status
    std::size_t embedded[5] = {};  // by EmbedResult::Status
    Progress progress(out, err, files.count());
    std::vector<std::filesystem::path> chunk;
    std::size_t first = 0;
    // Whatever goes wrong with one image is that image's line on the error
    // stream: no exception leaves a worker, and the run goes on.
    const auto work = [&](std::size_t i) {
        Result r;
        try {
            r = classifyOne(api, list, chunk[i]);
        } catch (const std::bad_alloc&) {
            r = Result{};
            r.error = tr("out of memory reading it");
        } catch (const std::exception& e) {
            r = Result{};
            r.error = oneLine(e.what());
        }
        if ((options.xmp || options.embed) && r.readable) keywordStep.update(first + i, chunk[i], r);
        return r;
    };
    const auto print = [&](std::size_t i, Result& r, const auto& workAhead) {
        const std::size_t tag = 2 * (first + i);
        // The files after this one are classified first, as far as results
        // are held, so that one flush to the disk covers them all.
        if ((r.sidecar.staged && !keywordStep.known(tag)) || (r.embedded.staged && !keywordStep.known(tag + 1)))
            workAhead();
        if (r.sidecar.staged) {
            const std::string error = keywordStep.committed(tag);
            if (!error.empty()) r.sidecar = {SidecarResult::Status::Failed, r.sidecar.path, error, {}, false};
        }
        if (r.embedded.staged) {
            const std::string error = keywordStep.committed(tag + 1);
            if (!error.empty()) r.embedded = {EmbedResult::Status::Failed, error, {}, false};
        }
        if (!r.readable) {
            progress.clear();
            ++report.unreadable;
            say(err, chunk[i], r.error);
        } else {
            ++report.images;
            std::string line = options.json ? jsonLine(chunk[i], r, metadataJson(r, options)) : textLine(chunk[i], r);
            if (options.dryRun && !options.json) line += dryRunLines(chunk[i], r);
            if (progress.sharesTerminal()) {
                progress.clear();
                writeText(out, line);
                std::fflush(out);  // before the progress line is drawn again
            } else {
                writeText(out, line);
            }
            for (const Attribute& a : r.attributes) ++counts[a.hasCategory ? a.name + " [" + a.category + "]" : a.name];
            ++sidecars[static_cast<int>(r.sidecar.status)];
            if (r.sidecar.status == SidecarResult::Status::Failed) {
                progress.clear();
                say(err, r.sidecar.path, oneLine(r.sidecar.error));
            }
            ++embedded[static_cast<int>(r.embedded.status)];
            if (!r.embedded.reason.empty()) {
                progress.clear();
                say(err, chunk[i], oneLine(r.embedded.reason));
            }
        }
        progress.update(first + i + 1);
    };
    // A folder listed at the start that cannot be read once its turn comes.
    std::size_t problemsSaid = files.problems().size();
    const auto sayNewProblems = [&] {
        for (; problemsSaid < files.problems().size(); ++problemsSaid) {
            const ImageFiles::Problem& problem = files.problems()[problemsSaid];
            progress.clear();
            say(err, problem.path, problem.reason);
        }
    };
    // The next files are listed on a thread of their own while these are
    // classified: with a file or two a folder, listing costs as much.
    std::vector<std::filesystem::path> coming;
    for (files.next(chunk, kFilesAtOnce); !chunk.empty(); chunk.swap(coming)) {
        sayNewProblems();
        keywordStep.prepare(chunk, first);
        std::future<void> listing = std::async(std::launch::async, [&] { files.next(coming, kFilesAtOnce); });
        runInOrder<Result>(chunk.size(), std::thread::hardware_concurrency(), work, print);
        listing.get();
        first += chunk.size();
    }
    sayNewProblems();
    progress.clear();
    std::fflush(out);

    writeText(err, trn("%s file classified, %s unreadable", "%s files classified, %s unreadable", report.images,
                       {std::to_string(report.images), std::to_string(report.unreadable)}) +
                       "\n");
    std::vector<std::pair<std::string, std::size_t>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [name, count] : sorted) writeText(err, "  " + name + ": " + std::to_string(count) + "\n");
    using Status = SidecarResult::Status;
    report.sidecarsFailed = sidecars[static_cast<int>(Status::Failed)];
    if (options.xmp) {
        writeText(err, tr(options.dryRun ? N_("sidecars (dry run, nothing written): %s to create, %s to update, %s "
                                              "unchanged, %s failed")
                                         : N_("sidecars: %s created, %s updated, %s unchanged, %s failed"),
                          {std::to_string(sidecars[static_cast<int>(Status::Created)]),
                           std::to_string(sidecars[static_cast<int>(Status::Updated)]),
                           std::to_string(sidecars[static_cast<int>(Status::Unchanged)]),
                           std::to_string(report.sidecarsFailed)}) +
                           "\n");
    }
    using Embedded = EmbedResult::Status;
    report.embeddedFailed = embedded[static_cast<int>(Embedded::Failed)];
    if (options.embed) {
        writeText(err,
                  tr(options.dryRun ? N_("images (dry run, nothing written): %s to update, %s unchanged, %s of "
                                         "formats never written, %s failed")
                                    : N_("images: %s updated, %s unchanged, %s of formats never written, %s failed"),
                     {std::to_string(embedded[static_cast<int>(Embedded::Updated)]),
                      std::to_string(embedded[static_cast<int>(Embedded::Unchanged)]),
                      std::to_string(embedded[static_cast<int>(Embedded::NotWritten)]),
                      std::to_string(report.embeddedFailed)}) +
                      "\n");
    }
    return report;
}
