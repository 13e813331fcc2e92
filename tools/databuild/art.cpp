// The art producer: sprite sheets and their tables.
#include "tools/databuild/databuild.h"

namespace databuild {
namespace {

bool RunArt(const std::string& outDir) {
    return MakeDirectories(JoinPath(outDir, "velm2"));
}

RegisterProducer registerArt("art", 10, RunArt);

}  // namespace
}  // namespace databuild
