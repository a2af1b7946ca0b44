// Turns the directory and table names the client gives (possibly with a drive
// letter and backslashes, "E:\\dir\\sub") into host paths. Every component is
// matched without regard to case, so a table copied from a case-insensitive
// disk is found whatever the case of its name.
#pragma once

#include "EngineConfig.h"

#include <string>

namespace ke {

class PathResolver {
public:
    explicit PathResolver(const EngineConfig& config) : m_config(config) {}

    // The host directory for a directory name; throws KE_ERR_DIRECTORY_NOT_FOUND naming the path.
    std::string directory(const std::string& name) const;
    // The same, creating the directories that do not exist yet (used to set up a new card index).
    std::string directoryCreatingMissing(const std::string& name) const;
    // The host path of a table file in a directory; throws KE_ERR_TABLE_NOT_FOUND naming the path.
    std::string tableFile(const std::string& directory, const std::string& tableName) const;

private:
    std::string resolveDirectory(const std::string& name, bool createMissing) const;

    const EngineConfig& m_config;
};

// The entry of `dir` equal to `name` ignoring case (an exact match first); empty when none.
std::string findEntryIgnoringCase(const std::string& dir, const std::string& name);

} // namespace ke
