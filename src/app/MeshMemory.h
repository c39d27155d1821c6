#pragma once
// The meshes remembered per pair of pictures: the settings store keeps the
// mesh file text under a key made from the two pictures' paths, so that
// loading the same pair again brings its meshes back.

#include <cstdint>
#include <optional>
#include <string>

#include "base/SettingsStore.h"
#include "morph/MeshFile.h"

namespace crossmeld {

inline constexpr std::string_view kMeshSettingsSection = "Meshes";

// The key of a pair: a fixed-length hash of both paths in order, so that
// no separator of the store's own syntax ends up in it.
std::string MeshMemoryKey(const std::string& startPath, const std::string& endPath);

// Stores the meshes of a pair. A store that refuses the write is ignored:
// editing goes on, the next edit tries again.
void RememberMeshes(SettingsStore& settings, const std::string& key, const MeshPoints& mesh);

// The meshes stored for a pair when they are a valid mesh file for pictures
// of this size; nothing otherwise.
std::optional<MeshPoints> RecallMeshes(SettingsStore& settings, const std::string& key, std::int32_t width,
                                       std::int32_t height);

}  // namespace crossmeld
