#include "tests/support/held_resources.h"

#include "framework/unique_handles.h"

namespace tavelin::test {

std::string HeldResources() {
    const struct {
        const char* name;
        int live;
    } counts[] = {
        {"hdc", unique_hdc::Live()},           {"hgdiobj", unique_hgdiobj::Live()},
        {"hbitmap", unique_hbitmap::Live()},   {"hkey", unique_hkey::Live()},
        {"hmenu", unique_hmenu::Live()},       {"hfile", unique_hfile::Live()},
        {"handle", unique_handle::Live()},     {"hlocal", unique_hlocal::Live()},
        {"hglobal", unique_hglobal::Live()},   {"cotaskmem", unique_cotaskmem::Live()},
        {"gpbitmap", unique_gpbitmap::Live()}, {"gpgraphics", unique_gpgraphics::Live()},
        {"window dc", unique_window_dc::Live()}, {"selection", unique_select::Live()},
    };
    std::string held;
    for (const auto& count : counts) {
        if (count.live == 0) continue;
        if (!held.empty()) held += ", ";
        held += std::string(count.name) + " " + std::to_string(count.live);
    }
    return held;
}

}  // namespace tavelin::test
