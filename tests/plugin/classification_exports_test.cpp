// The classification exports as a host calls them: handles, accessors, the
// lifetime of returned texts, exhausted memory and concurrent classification.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "alloc_counter.h"
#include "conditions/condition_list.h"
#include "pixtagger.h"

namespace {

ImageRecord image(std::int32_t width, std::int32_t height) {
    ImageRecord r{};
    r.stateFlags = PIXTAGGER_REQUIRED_STATE;
    r.width = width;
    r.height = height;
    return r;
}

Condition atLeast(std::int32_t a, const std::string& att, const std::string& cat) {
    Condition c;
    c._cmbA = 3;
    c._a = a;
    c._attName = att;
    c._catName = cat;
    return c;
}

// A list the way acLoadConfig hands it over: on the heap, freed by the export.
struct ListHandle {
    std::unique_ptr<ConditionList> list = std::make_unique<ConditionList>();
    ~ListHandle() { acReleaseConfig(list.release()); }
};

// Everything a host can read from a result, copied out.
std::vector<std::string> readAll(const AttributeResult* r) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < static_cast<uint32_t>(acGetAttNum(r)); ++i) {
        const char* cat = acGetCatPath(r, i);
        out.push_back(std::string(acGetAttName(r, i)) + "|" + (cat == nullptr ? "(null)" : cat));
    }
    return out;
}

TEST(ClassificationExports, NullHandlesGetDefinedAnswers) {
    ListHandle h;
    h.list->append(atLeast(0, "any", ""));
    const ImageRecord img = image(1, 1);
    EXPECT_EQ(acGetAC(nullptr, h.list.get()), nullptr);
    EXPECT_EQ(acGetAC(&img, nullptr), nullptr);
    EXPECT_EQ(acGetAC(nullptr, nullptr), nullptr);
    EXPECT_EQ(acGetAttNum(nullptr), 0);
    EXPECT_EQ(acGetAttName(nullptr, 0), nullptr);
    EXPECT_EQ(acGetCatPath(nullptr, 0), nullptr);
    acReleaseAC(nullptr);
    acReleaseConfig(nullptr);
}

TEST(ClassificationExports, AccessorsReadEntriesAndRefuseIndexesPastTheEnd) {
    ListHandle h;
    h.list->append(atLeast(0, "Large", "Size"));
    h.list->append(atLeast(0, "NoCategory", ""));
    h.list->append(atLeast(0, "", "EmptyName"));
    const ImageRecord img = image(10, 10);
    AttributeResult* r = acGetAC(&img, h.list.get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(readAll(r), (std::vector<std::string>{"Large|Size", "NoCategory|(null)", "|EmptyName"}));
    for (uint32_t past : {3u, 4u, 0x80000000u, UINT32_MAX}) {
        EXPECT_EQ(acGetAttName(r, past), nullptr) << past;
        EXPECT_EQ(acGetCatPath(r, past), nullptr) << past;
    }
    EXPECT_EQ(acGetAttName(r, static_cast<uint32_t>(acGetAttNum(r))), nullptr);
    acReleaseAC(r);
}

TEST(ClassificationExports, TextsStayValidAfterTheListIsReleased) {
    auto list = std::make_unique<ConditionList>();
    const std::string longName(300, 'x');
    list->append(atLeast(0, longName, "Category/Long"));
    const ImageRecord img = image(2, 3);
    AttributeResult* r = acGetAC(&img, list.get());
    ASSERT_NE(r, nullptr);
    const char* name = acGetAttName(r, 0);
    const char* cat = acGetCatPath(r, 0);
    acReleaseConfig(list.release());
    auto refill = std::make_unique<ConditionList>();  // reuse the freed memory
    refill->append(atLeast(0, std::string(300, 'y'), "other"));
    EXPECT_EQ(std::string(name), longName);
    EXPECT_STREQ(cat, "Category/Long");
    EXPECT_EQ(acGetAttName(r, 0), name);  // the same storage on every call
    acReleaseAC(r);
}

TEST(ClassificationExports, EachAllocationFailingInTurnGivesNullAndLeaksNothing) {
    ListHandle h;
    // Names longer than any short-string buffer, so every copy allocates.
    for (int i = 0; i < 4; ++i) {
        h.list->append(
            atLeast(0, "attribute name number " + std::to_string(i), "category path number " + std::to_string(i)));
    }
    const ImageRecord img = image(640, 480);

    const std::int64_t before = alloc_counter::live();
    int failures = 0;
    for (std::int64_t k = 0;; ++k) {
        ASSERT_LT(k, 1000) << "acGetAC never completed";
        alloc_counter::failAfter(k);
        AttributeResult* r = acGetAC(&img, h.list.get());
        alloc_counter::disarm();
        if (r == nullptr) {
            ++failures;
            EXPECT_EQ(alloc_counter::live(), before) << "allocation " << k << " failed and leaked";
            continue;
        }
        EXPECT_EQ(acGetAttNum(r), 4);
        EXPECT_STREQ(acGetCatPath(r, 3), "category path number 3");
        acReleaseAC(r);
        break;
    }
    EXPECT_EQ(alloc_counter::live(), before);
    // The result object, two sequences and eight texts, at least.
    EXPECT_GE(failures, 11);
}

TEST(ClassificationExports, NoMatchAllocatesNothing) {
    ListHandle h;
    for (int i = 0; i < 100; ++i) h.list->append(atLeast(INT_MAX, "never", "never"));
    const ImageRecord img = image(100, 100);
    alloc_counter::reset();
    EXPECT_EQ(acGetAC(&img, h.list.get()), nullptr);
    EXPECT_EQ(alloc_counter::count(), 0);
}

TEST(ClassificationExports, ConcurrentClassificationMatchesOneThread) {
    ListHandle h;
    for (int i = 0; i < 60; ++i) {
        Condition c;
        c._bEnable = i % 7 != 0;
        c._type = i % 3 == 0 ? 1 : 0;
        c._cmbA = i % 5;
        c._a = i * 997;
        c._cmbB1 = i % 2;
        c._b1 = i * 500;
        c._cmbB2 = (i + 1) % 2;
        c._b2 = i * 1500;
        c._attName = "attribute " + std::to_string(i) + " with a name too long to stay inline";
        c._catName = i % 4 == 0 ? "" : "category " + std::to_string(i % 4);
        h.list->append(c);
    }
    std::vector<ImageRecord> images;
    for (int w = -3; w < 120; w += 3) {
        for (int hgt = 0; hgt < 300; hgt += 11) images.push_back(image(w, hgt));
    }
    std::vector<std::vector<std::string>> expected;
    for (const ImageRecord& img : images) {
        AttributeResult* r = acGetAC(&img, h.list.get());
        expected.push_back(readAll(r));
        acReleaseAC(r);
    }

    constexpr int kThreads = 4;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                for (std::size_t i = 0; i < images.size(); ++i) {
                    const std::size_t at = (i * (t + 1) + round) % images.size();
                    AttributeResult* r = acGetAC(&images[at], h.list.get());
                    if (readAll(r) != expected[at]) ++mismatches[t];
                    acReleaseAC(r);
                }
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

}  // namespace
