// The archives dat/velm2.dat, velm3.dat and velm4.dat: the folders beside them packed with the
// game's key and padded to the sizes the game's start-up expects. Runs last, so each archive
// holds whatever the other producers put in its folder.
#include <cstdio>
#include <string>

#include "tools/databuild/archives.h"
#include "tools/databuild/databuild.h"
#include "tools/packer/packer.h"

namespace databuild {

bool PackArchive(const std::string& outDir, const ArchiveSpec& spec) {
    packer::PackOptions options;
    options.exactSize = spec.size;
    std::string error;
    const std::string archive = JoinPath(outDir, std::string(spec.folder) + ".dat");
    if (!MakeDirectories(JoinPath(outDir, spec.folder))) return false;
    if (!packer::PackDirectory(JoinPath(outDir, spec.folder), archive, options, &error)) {
        std::fprintf(stderr, "databuild: cannot make %s: %s\n", archive.c_str(), error.c_str());
        return false;
    }
    return true;
}

namespace {

bool RunArchives(const std::string& outDir) {
    for (const ArchiveSpec& spec : kArchives)
        if (!PackArchive(outDir, spec)) return false;
    return true;
}

RegisterProducer reg("archives", 90, RunArchives);

}  // namespace
}  // namespace databuild
