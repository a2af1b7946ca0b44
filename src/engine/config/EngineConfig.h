// The engine's configuration: library paths and the drive map. The engine and
// the program's engine loader both read it through this code (plain C++, no
// Qt), so they agree on every file and every line.
//
// Files, later ones adding to or overriding earlier ones:
//   /etc/kartoteka/engine.conf
//   $XDG_CONFIG_HOME/kartoteka/engine.conf (XDG_CONFIG_HOME unset, empty or
//       relative: ~/.config)
//   the file named by KARTOTEKA_ENGINE_CONFIG (it must exist)
//
// Format: one setting per line, '#' or ';' starts a comment.
//   library_path = /opt/kartoteka/lib     (one folder; may repeat)
//   drive E = /srv/cards/E                 (also "drive E: = ...")
// A leading "~/" in a value is the home directory; any other relative value is
// relative to the folder of the file it is written in.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ke {

struct EngineConfig {
    std::vector<std::string> libraryPaths; // absolute, in the order written
    std::map<char, std::string> drives;    // upper-case letter -> absolute host directory

    // Reads the standard files. Throws EngineError(KE_ERR_CONFIG) naming file and line.
    static EngineConfig load();
    // As load(), without throwing: false and the reason (file and line) on a fault.
    static bool load(EngineConfig& config, std::string& error);

    // Adds the settings of one file; a missing file is skipped unless required.
    void readFile(const std::string& path, bool required);
    // Adds the settings of a file's text. fileName names it in messages;
    // relative values are taken relative to folder.
    void parse(const std::string& text, const std::string& fileName, const std::string& folder);

    // The host directory of a drive letter: the drive map, else
    // <data home>/kartoteka/drives/<letter>.
    std::string driveDirectory(char letter) const;
};

// $HOME, else the account's home directory.
std::string homeDirectory();
// $XDG_CONFIG_HOME if it is an absolute path, else ~/.config.
std::string configHome();
// $XDG_DATA_HOME if it is an absolute path, else ~/.local/share.
std::string dataHome();

} // namespace ke
