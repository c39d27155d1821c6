#include "app/MeshMemory.h"

#include <cstdio>
#include <exception>
#include <span>

#include "app/AppRoutines.h"

namespace crossmeld {

namespace {

// 64-bit FNV-1a.
std::uint64_t Hash(std::uint64_t h, const std::string& text) {
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001B3ull;
    }
    return h;
}

}  // namespace

std::string MeshMemoryKey(const std::string& startPath, const std::string& endPath) {
    // The length of the first path keeps ("ab", "c") apart from ("a", "bc").
    std::uint64_t h = Hash(0xCBF29CE484222325ull, std::to_string(startPath.size()) + ":" + startPath);
    h = Hash(h, endPath);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

void RememberMeshes(SettingsStore& settings, const std::string& key, const MeshPoints& mesh) {
    try {
        settings.SaveSetting(std::string(kSettingsApp), std::string(kMeshSettingsSection), key, WriteMeshFile(mesh));
    } catch (const std::exception&) {
    }
}

std::optional<MeshPoints> RecallMeshes(SettingsStore& settings, const std::string& key, std::int32_t width,
                                       std::int32_t height) {
    try {
        const std::string text =
            settings.GetSetting(std::string(kSettingsApp), std::string(kMeshSettingsSection), key, {});
        if (text.empty()) return std::nullopt;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
        MeshPoints mesh = ReadMeshFile(std::span<const std::uint8_t>(bytes, text.size()));
        if (mesh.width != width || mesh.height != height) return std::nullopt;
        return mesh;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace crossmeld
