#pragma once
// Internal: the reading stream behind an AviStreamHandle, for the files of
// the reading calls.

#include <memory>

#include "formats/avi/AviFile.h"
#include "formats/avi/AviReader.h"

namespace crossmeld::avi {

struct AviReadAccess {
    static std::shared_ptr<AviReader>& Reader(AviStreamHandle& h) noexcept { return h.m_reader; }
    static const std::shared_ptr<AviReader>& Reader(const AviStreamHandle& h) noexcept { return h.m_reader; }
};

}  // namespace crossmeld::avi
