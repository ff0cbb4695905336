#include "app/AboutInfo.h"

#include "app/AppInfo.h"

namespace corvid {

std::string AboutText() {
    return std::string(kApplicationName) + "\n\nVersion " + kApplicationVersion + "\nBuild " +
           std::to_string(kApplicationBuild) + "\n\nQuarry Lane\n" + kVendorWebPage;
}

}  // namespace corvid
