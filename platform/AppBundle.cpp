#include "platform/AppBundle.h"

#include <climits>
#include <unistd.h>

namespace {

std::string executableDirectory() {
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return ".";
    std::string path(buffer, static_cast<std::size_t>(length));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::string AppBundle::directory() { return executableDirectory() + "/../share/brindlex/Brindlex.app"; }

std::string AppBundle::pathForResource(const std::string& name) { return directory() + "/" + name; }
