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
#include "images/image_size.h"
#include "ordered_batches.h"
#include "sidecars/xmp_sidecar.h"
#include "system/file_kind.h"
#include "terminal.h"
#include "text/path_text.h"
#include "text/text_encoding.h"

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
};

// --xmp: each image's sidecar, on the worker that classified it. The new
// sidecars wait in one group and reach the disk together when the first of
// them is about to be printed. Files are numbered across the whole run.
class SidecarStep {
public:
    // Before the workers start: Exiv2's namespace registry is not for
    // threads to fill.
    explicit SidecarStep(const Options& options) : on_(options.xmp), run_(options.dryRun ? nullptr : &group_) {
        if (!on_) return;
        registerPixtaggerXmpNamespace();
        repeats_ = RepeatedImages(options.paths);
    }
    ~SidecarStep() {
        if (on_) releaseXmpNamespaces();  // the workers are done
    }
    SidecarStep(const SidecarStep&) = delete;
    SidecarStep& operator=(const SidecarStep&) = delete;

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
        r.sidecar = run_.sync(path, keywords, i);
    }

    // Whether the staged sidecar of file i has been committed.
    bool known(std::size_t i) const { return outcomes_.count(i) != 0; }

    // For a staged sidecar, from the printing thread: why it could not be
    // put in place, or an empty text. Commits what is staged when needed.
    std::string committed(std::size_t i) {
        auto it = outcomes_.find(i);
        if (it == outcomes_.end()) {
            for (const AtomicFileGroup::Outcome& o : group_.commit()) outcomes_[o.tag] = o.error;
            it = outcomes_.find(i);
        }
        std::string error = it != outcomes_.end() ? it->second : "lost before it was written";
        if (it != outcomes_.end()) outcomes_.erase(it);
        return error;
    }

private:
    bool on_;
    RepeatedImages repeats_;
    std::vector<bool> repeated_;  // of the files prepared
    std::size_t first_ = 0;
    AtomicFileGroup group_;
    SidecarRun run_;
    std::map<std::size_t, std::string> outcomes_;
};

// "sidecar" and "sidecar_changed", and on a dry run what would be added and
// removed; the sidecar's path written as the image's own is.
std::string sidecarJson(const SidecarResult& s, bool dryRun) {
    std::string members = ",\"sidecar\":null";
    if (!s.path.empty()) members = "," + pathJsonMembers(s.path, "sidecar");
    const bool changed = s.status == SidecarResult::Status::Created || s.status == SidecarResult::Status::Updated;
    members += std::string(",\"sidecar_changed\":") + (changed ? "true" : "false");
    if (!dryRun) return members;
    for (const auto& [name, edits] :
         {std::make_pair("add", &s.edits.added), std::make_pair("remove", &s.edits.removed)}) {
        members += std::string(",\"sidecar_") + name + "\":[";
        for (std::size_t i = 0; i < edits->size(); ++i) {
            members += (i > 0 ? ",{\"property\":" : "{\"property\":") + jsonString((*edits)[i].property) +
                       ",\"value\":" + jsonString((*edits)[i].value) + "}";
        }
        members += "]";
    }
    return members;
}

// A dry run's line under the image's: the sidecar and its edits.
std::string dryRunLine(const SidecarResult& s) {
    if (s.status != SidecarResult::Status::Created && s.status != SidecarResult::Status::Updated) return "";
    std::string line = std::string("  would ") + (s.status == SidecarResult::Status::Created ? "create " : "update ") +
                       pathText(s.path) + ":";
    const char* separator = " ";
    for (const auto& [sign, edits] : {std::make_pair("-", &s.edits.removed), std::make_pair("+", &s.edits.added)}) {
        for (const KeywordEdit& edit : *edits) {
            line += separator + std::string(sign) + " " + edit.property + " " + jsonString(edit.value);
            separator = ", ";
        }
    }
    if (s.edits.added.empty() && s.edits.removed.empty()) line += " only our record of what is ours";
    return line + "\n";
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
        r.error = kind + ", not an image file";
        return r;
    }
    if (!readImageSize(path, r.size, r.error)) {
        r.error = oneLine(r.error);
        return r;
    }
    if (r.size.width > INT32_MAX || r.size.height > INT32_MAX) {
        r.error = "a side beyond 2147483647 pixels does not fit the host's image record";
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
                       ",\"height\":" + std::to_string(r.size.height) + ",\"area\":" + std::to_string(area) +
                       ",\"attributes\":[";
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
        std::fprintf(err_, "\r\033[K%zu / %zu  %.0f images/s", done, total_,
                     seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
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
    SidecarStep sidecarStep(options);
    RunReport report;
    std::map<std::string, std::size_t> counts;
    std::size_t sidecars[5] = {};  // by SidecarResult::Status
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
            r.error = "out of memory reading it";
        } catch (const std::exception& e) {
            r = Result{};
            r.error = oneLine(e.what());
        }
        if (options.xmp && r.readable) sidecarStep.update(first + i, chunk[i], r);
        return r;
    };
    const auto print = [&](std::size_t i, Result& r, const auto& workAhead) {
        if (r.sidecar.staged) {
            // The files after this one are classified first, as far as
            // results are held, so that one flush to the disk covers them all.
            if (!sidecarStep.known(first + i)) workAhead();
            const std::string error = sidecarStep.committed(first + i);
            if (!error.empty()) r.sidecar = {SidecarResult::Status::Failed, r.sidecar.path, error, {}, false};
        }
        if (!r.readable) {
            progress.clear();
            ++report.unreadable;
            std::fprintf(err, "pixtagger-host: %s: %s\n", pathText(chunk[i]).c_str(), r.error.c_str());
        } else {
            ++report.images;
            std::string line = options.json
                                   ? jsonLine(chunk[i], r, options.xmp ? sidecarJson(r.sidecar, options.dryRun) : "")
                                   : textLine(chunk[i], r);
            if (options.dryRun && !options.json) line += dryRunLine(r.sidecar);
            if (progress.sharesTerminal()) {
                progress.clear();
                std::fwrite(line.data(), 1, line.size(), out);
                std::fflush(out);  // before the progress line is drawn again
            } else {
                std::fwrite(line.data(), 1, line.size(), out);
            }
            for (const Attribute& a : r.attributes) ++counts[a.hasCategory ? a.name + " [" + a.category + "]" : a.name];
            ++sidecars[static_cast<int>(r.sidecar.status)];
            if (r.sidecar.status == SidecarResult::Status::Failed) {
                progress.clear();
                std::fprintf(err, "pixtagger-host: %s: %s\n", pathText(r.sidecar.path).c_str(), r.sidecar.error.c_str());
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
            std::fprintf(err, "pixtagger-host: %s: %s\n", pathText(problem.path).c_str(), problem.reason.c_str());
        }
    };
    // The next files are listed on a thread of their own while these are
    // classified: with a file or two a folder, listing costs as much.
    std::vector<std::filesystem::path> coming;
    for (files.next(chunk, kFilesAtOnce); !chunk.empty(); chunk.swap(coming)) {
        sayNewProblems();
        sidecarStep.prepare(chunk, first);
        std::future<void> listing = std::async(std::launch::async, [&] { files.next(coming, kFilesAtOnce); });
        runInOrder<Result>(chunk.size(), std::thread::hardware_concurrency(), work, print);
        listing.get();
        first += chunk.size();
    }
    sayNewProblems();
    progress.clear();
    std::fflush(out);

    std::fprintf(err, "%zu images classified, %zu unreadable\n", report.images, report.unreadable);
    std::vector<std::pair<std::string, std::size_t>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [name, count] : sorted) std::fprintf(err, "  %s: %zu\n", name.c_str(), count);
    using Status = SidecarResult::Status;
    report.sidecarsFailed = sidecars[static_cast<int>(Status::Failed)];
    if (options.xmp) {
        std::fprintf(err,
                     options.dryRun
                         ? "sidecars (dry run, nothing written): %zu to create, %zu to update, %zu unchanged, %zu failed\n"
                         : "sidecars: %zu created, %zu updated, %zu unchanged, %zu failed\n",
                     sidecars[static_cast<int>(Status::Created)], sidecars[static_cast<int>(Status::Updated)],
                     sidecars[static_cast<int>(Status::Unchanged)], report.sidecarsFailed);
    }
    return report;
}
