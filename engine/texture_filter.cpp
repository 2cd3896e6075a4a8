#include "engine/texture_filter.h"

#include "platform/strings.h"

std::shared_ptr<TList<TextureFilterRef>> TTextureFilter::filter_list =
    CreateList<TextureFilterRef>();

bool TTextureFilter::Matches(const std::string& file) const {
    return Instr(file, text) != 0;
}
