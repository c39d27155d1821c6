// Damaged metafiles: LibreOffice's test pictures cut at every record
// boundary, inside records, and with random bytes changed. Each must load or
// be refused as an invalid picture, never crash or run on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/metafile/MetafilePicture.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> DataFile(const std::string& name) {
    return test::ReadBytes(test::SourceDir() / "tests" / "data" / "metafile" / name);
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// Offsets of the records, walked here by the formats' size fields.
std::vector<std::size_t> RecordStarts(const std::vector<std::uint8_t>& file, bool emf) {
    std::vector<std::size_t> starts;
    std::size_t pos = emf ? 0 : (Le32(file, 0) == 0x9AC6CDD7u ? 22 + 18 : 18);
    while (pos + 8 <= file.size()) {
        starts.push_back(pos);
        const std::size_t size = emf ? Le32(file, pos + 4) : std::size_t{Le32(file, pos)} * 2;
        if (size == 0) break;
        pos += size;
    }
    return starts;
}

// Loads, and says whether the result was a picture (true) or a refusal.
bool Loads(const std::vector<std::uint8_t>& bytes, bool emf) {
    try {
        auto s = emf ? DecodeEmfPicture(bytes, 1 << 20) : DecodeWmfPicture(bytes, 1 << 20);
        EXPECT_TRUE(s);
        return true;
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture) << e.description();
        return false;
    }
}

class DamagedMetafile : public ::testing::TestWithParam<const char*> {
protected:
    bool emf() const { return std::string(GetParam()).ends_with(".emf"); }
};

TEST_P(DamagedMetafile, CutAtEveryRecordLoadsOrIsRefused) {
    const auto file = DataFile(GetParam());
    ASSERT_TRUE(Loads(file, emf()));
    const auto starts = RecordStarts(file, emf());
    ASSERT_GT(starts.size(), 10u);
    int refused = 0;
    for (std::size_t at : starts) {
        for (std::size_t cut : {at, at + 3, at + 9}) {
            if (cut >= file.size()) continue;
            std::vector<std::uint8_t> part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
            refused += !Loads(part, emf());
        }
    }
    // Cuts inside records are refused (records run past the end).
    EXPECT_GT(refused, static_cast<int>(starts.size()));
}

TEST_P(DamagedMetafile, RandomByteChangesLoadOrAreRefused) {
    const auto file = DataFile(GetParam());
    std::mt19937 random(20240601);
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes = file;
        const int changes = 1 + round % 8;
        for (int i = 0; i < changes; ++i) {
            // Mostly after the header, where the records are.
            const std::size_t at = random() % bytes.size();
            bytes[at] = static_cast<std::uint8_t>(random());
        }
        Loads(bytes, emf());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedMetafile,
                         ::testing::Values("shapes.emf", "shapes.wmf", "curves.emf", "curves.wmf", "text.emf",
                                           "text.wmf", "photo.emf", "photo.wmf"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

}  // namespace
}  // namespace crossmeld
