// Fuzz target: the mesh file reader. Refusals (crossmeld::Error) are
// expected; anything else is a finding. A mesh that is accepted must write
// out and read back equal.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "base/Error.h"
#include "morph/MeshFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crossmeld;
    MeshPoints mesh;
    try {
        mesh = ReadMeshFile(std::span<const std::uint8_t>(data, size));
    } catch (const Error&) {
        return 0;
    }
    const std::string text = WriteMeshFile(mesh);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (ReadMeshFile(std::span<const std::uint8_t>(bytes, text.size())) != mesh) std::abort();
    return 0;
}
