#pragma once
// Expectations and stand-ins shared by the unit tests: an Error of a given
// kind, a clean refusal of a picture, and a byte sink that fails past a limit.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/ByteWriter.h"
#include "base/Error.h"

namespace crossmeld::test {

// Expects fn to raise an Error of the kind.
void ExpectError(ErrorKind kind, auto fn) {
    try {
        fn();
        ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), kind) << e.description();
    }
}

// Expects fn to refuse its picture cleanly: an invalid-picture error with a
// description (this one, when given).
void ExpectInvalidPicture(auto fn, const std::string& description = {}) {
    try {
        fn();
        ADD_FAILURE() << "decoded";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
        EXPECT_FALSE(e.description().empty());
        if (!description.empty()) {
            EXPECT_EQ(e.description(), description);
        }
    }
}

// Takes bytes until limit bytes in all, then refuses every write.
class FailingSink final : public ByteSink {
public:
    explicit FailingSink(std::size_t limit) : m_limit(limit) {}
    bool write(std::span<const std::uint8_t> bytes) override {
        if (m_taken + bytes.size() > m_limit) return false;
        m_taken += bytes.size();
        return true;
    }

private:
    std::size_t m_limit;
    std::size_t m_taken = 0;
};

}  // namespace crossmeld::test
