#include "sim/serial/PortLink.h"

#include <unistd.h>

#include <stdexcept>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const fs::path& path, const std::string& why) {
    throw std::runtime_error("cannot link " + path.string() + ": " + why);
}

}  // namespace

PortLink::PortLink(fs::path path, std::string target) : path_(std::move(path)), target_(std::move(target)) {
    std::error_code error;
    if (path_.has_parent_path()) {
        fs::create_directories(path_.parent_path(), error);
        if (error)
            Fail(path_, error.message());
    }
    const fs::file_status existing = fs::symlink_status(path_, error);
    if (error && existing.type() != fs::file_type::not_found)
        Fail(path_, error.message());

    if (existing.type() == fs::file_type::not_found) {
        fs::create_symlink(target_, path_, error);
    } else if (existing.type() == fs::file_type::symlink) {
        // Made beside it and renamed over it, so the path always names a link.
        const fs::path fresh = path_.string() + ".velsim-" + std::to_string(::getpid());
        fs::remove(fresh, error);
        fs::create_symlink(target_, fresh, error);
        if (!error) {
            fs::rename(fresh, path_, error);
            std::error_code ignored;
            if (error)
                fs::remove(fresh, ignored);
        }
    } else {
        Fail(path_, "something other than a symlink is there");
    }
    if (error)
        Fail(path_, error.message());
}

PortLink::~PortLink() {
    std::error_code error;
    if (fs::read_symlink(path_, error) == target_ && !error)
        fs::remove(path_, error);
}
