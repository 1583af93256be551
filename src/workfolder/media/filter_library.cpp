#include "workfolder/media/filter_library.h"

#include <dlfcn.h>

extern "C" {
#include <libavfilter/version.h>
}

namespace strobo::workfolder::media {

namespace {

struct Loaded {
    FilterLibrary library;
    bool complete = false;
    std::string reason;
};

template <typename Function>
bool resolve(void* handle, const char* name, Function& function, std::string& reason) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (function == nullptr && reason.empty()) reason = std::string(name) + " is missing";
    return function != nullptr;
}

Loaded load() {
    Loaded loaded;
    // The same major version keeps the same interface, which the declarations describe.
    const std::string name = "libavfilter.so." + std::to_string(LIBAVFILTER_VERSION_MAJOR);
    // Never closed: the filters' code must stay while any graph may exist.
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* error = dlerror();
        loaded.reason = error != nullptr ? error : name;
        return loaded;
    }
    FilterLibrary& f = loaded.library;
    std::string& why = loaded.reason;
    loaded.complete = resolve(handle, "avfilter_graph_alloc", f.graphAlloc, why) &
                      resolve(handle, "avfilter_graph_free", f.graphFree, why) &
                      resolve(handle, "avfilter_get_by_name", f.getByName, why) &
                      resolve(handle, "avfilter_graph_create_filter", f.createFilter, why) &
                      resolve(handle, "avfilter_link", f.link, why) &
                      resolve(handle, "avfilter_graph_config", f.configure, why) &
                      resolve(handle, "av_buffersrc_add_frame_flags", f.addFrame, why) &
                      resolve(handle, "av_buffersink_get_frame", f.getFrame, why);
    return loaded;
}

}  // namespace

const FilterLibrary* filterLibrary(std::string* reason) {
    static const Loaded loaded = load();
    if (!loaded.complete) {
        if (reason != nullptr) *reason = loaded.reason;
        return nullptr;
    }
    return &loaded.library;
}

}  // namespace strobo::workfolder::media
