// The engine's configuration: library paths and the drive map, read from
//   /etc/kartoteka/engine.conf, ~/.config/kartoteka/engine.conf and the file
//   named by KARTOTEKA_ENGINE_CONFIG, later files adding to or overriding earlier ones.
//
// Format: one setting per line, '#' or ';' starts a comment.
//   library_path = /opt/kartoteka/lib     (may repeat)
//   drive E = /srv/cards/E                 (also "drive E: = ...")
// A leading "~/" in a value is the home directory.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ke {

struct EngineConfig {
    std::vector<std::string> libraryPaths;
    std::map<char, std::string> drives; // upper-case letter -> host directory

    // Reads the standard files. Throws EngineError(KE_ERR_CONFIG) naming file and line.
    static EngineConfig load();
    // Adds the settings of one file; a missing file is skipped unless required.
    void readFile(const std::string& path, bool required);
    void parse(const std::string& text, const std::string& fileName);

    // The host directory of a drive letter: the drive map, else
    // ~/.local/share/kartoteka/drives/<letter>.
    std::string driveDirectory(char letter) const;
};

std::string homeDirectory();

} // namespace ke
