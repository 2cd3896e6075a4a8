// TTextureFilter: a rule that ORs texture flags into every texture whose file name contains its
// text. The rules live in TTextureFilter::filter_list and are added and cleared through
// TTexture::TextureFilter and TTexture::ClearTextureFilters.
#pragma once

#include "engine/handles.h"
#include "platform/collections.h"

#include <string>

class TTextureFilter {
  public:
    std::string text; // searched for in file names, case-sensitive; empty matches every name
    int flags = 0;    // ORed into a matching texture's flags

    // Every filter in the order added. An empty list from static initialisation on (the engine
    // module's initialiser makes one only if it is null); Graphics3D adds the default filter.
    static std::shared_ptr<TList<TextureFilterRef>> filter_list;

    // True when the filter applies to the file name: the name contains the text (an empty text
    // is contained in every name, the empty one included).
    bool Matches(const std::string& file) const;
};
