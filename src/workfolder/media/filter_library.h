#pragma once

#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

namespace strobo::workfolder::media {

// The few entry points of libavfilter the animations use. The library is loaded the first time
// an animation is written rather than linked in: with the thirty-odd libraries it brings, it
// would add about a third to the start of every run of the program, though only the GIF's
// palette needs it.
struct FilterLibrary {
    decltype(&::avfilter_graph_alloc) graphAlloc = nullptr;
    decltype(&::avfilter_graph_free) graphFree = nullptr;
    decltype(&::avfilter_get_by_name) getByName = nullptr;
    decltype(&::avfilter_graph_create_filter) createFilter = nullptr;
    decltype(&::avfilter_link) link = nullptr;
    decltype(&::avfilter_graph_config) configure = nullptr;
    decltype(&::av_buffersrc_add_frame_flags) addFrame = nullptr;
    decltype(&::av_buffersink_get_frame) getFrame = nullptr;
};

// The library of the major version the program was built against, loaded once; nullptr when
// it cannot be loaded, with the loader's reason in *reason.
const FilterLibrary* filterLibrary(std::string* reason = nullptr);

}  // namespace strobo::workfolder::media
