#include "platform/ModuleResources.h"

#include "platform/linux/EmbeddedFiles.h"

namespace platform {

bool findModuleResource(int type, int id, const unsigned char *&bytes, std::size_t &size, std::string &error) {
    for (const EmbeddedFile *f = embeddedFiles(); f->type != 0; ++f)
        if (f->type == type && f->id == id) {
            bytes = f->bytes;
            size = f->size;
            return true;
        }
    error = "not built into the plug-in (resource type " + std::to_string(type) + ")";
    return false;
}

} // namespace platform
