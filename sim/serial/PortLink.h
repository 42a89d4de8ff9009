#pragma once

#include <filesystem>
#include <string>

// A symlink to the simulated port, there while the object lives, so a
// program finds the simulator where it looks for a COM port: COM7 is the
// link ports/com7 in its data folder.
class PortLink {
public:
    // Makes path a symlink to target, creating the folders it is in. A symlink
    // already at path is replaced; anything else there is refused. Throws
    // std::runtime_error saying why; nothing is changed then.
    PortLink(std::filesystem::path path, std::string target);
    // Removes the link, unless something else has taken its place meanwhile.
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

private:
    std::filesystem::path path_;
    std::string target_;
};
