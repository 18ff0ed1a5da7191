// Several threads classify against one list loaded from a file while others
// load, classify, save and release lists of their own. Built with
// ThreadSanitizer in the test command, so a data race fails it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "conditions/condition_list.h"
#include "pixtagger.h"
#include "temp_dir.h"

namespace {

std::vector<std::string> classifyAll(const ConditionList* list, const std::vector<ImageRecord>& images) {
    std::vector<std::string> out;
    for (const ImageRecord& image : images) {
        AttributeResult* result = acGetAC(&image, list);
        std::string names;
        for (int32_t i = 0; i < acGetAttNum(result); ++i) {
            const char* cat = acGetCatPath(result, static_cast<uint32_t>(i));
            names += std::string(acGetAttName(result, static_cast<uint32_t>(i))) + "/" + (cat ? cat : "-") + ";";
        }
        acReleaseAC(result);
        out.push_back(names);
    }
    return out;
}

TEST(Concurrency, SharedListAndPrivateListsAtOnce) {
    TempDir dir;
    const std::string path = dir.file("rules.ini");
    {
        ConditionList rules;
        for (int i = 0; i < 40; ++i) {
            Condition c;
            c._type = i % 4 == 0 ? 1 : 0;
            c._cmbA = i % 5;
            c._a = i * 2500;
            c._cmbB1 = i % 2;
            c._b1 = i * 1000;
            c._cmbB2 = 1;
            c._b2 = i * 4000;
            c._bEnable = i % 9 != 0;
            c._attName = "attribute number " + std::to_string(i);
            c._catName = i % 3 == 0 ? "" : "category " + std::to_string(i % 3);
            rules.append(c);
        }
        acSaveConfig(&rules, path.c_str());
    }
    ConditionList* shared = acLoadConfig(path.c_str());
    ASSERT_NE(shared, nullptr);
    std::vector<ImageRecord> images;
    for (int w = 0; w < 400; w += 37) {
        for (int h = 0; h < 500; h += 41) {
            ImageRecord r{};
            r.stateFlags = PIXTAGGER_REQUIRED_STATE;
            r.width = w;
            r.height = h;
            images.push_back(r);
        }
    }
    const std::vector<std::string> expected = classifyAll(shared, images);

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                if (classifyAll(shared, images) != expected) ++mismatches;
            }
        });
    }
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            const std::string own = dir.file("own" + std::to_string(t) + ".ini");
            for (int round = 0; round < 5; ++round) {
                ConditionList* list = acLoadConfig(path.c_str());
                if (list == nullptr || classifyAll(list, images) != expected) ++mismatches;
                acSaveConfig(list, own.c_str());
                acReleaseConfig(list);
                ConditionList* copy = acLoadConfig(own.c_str());
                if (copy == nullptr || classifyAll(copy, images) != expected) ++mismatches;
                acReleaseConfig(copy);
            }
        });
    }
    for (std::thread& th : threads) th.join();
    acReleaseConfig(shared);
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
