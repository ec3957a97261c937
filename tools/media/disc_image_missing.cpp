// Disc images in a build without libcdio: every image is refused with a
// message that says so; folders and cdN files work as everywhere.
#include "disc_image.h"

#include "disc_names.h"

namespace {

const char* kNoImages = "this build of discset does not read disc images (it was built without libcdio); "
                        "mount or copy out the image and give the folder that holds cdN";

}  // namespace

int disc_images_supported()
{
    return 0;
}

int list_image_discs(const fs::path& image, std::vector<ImageDisc>* discs, std::string* error)
{
    discs->clear();
    *error = utf8_of(image) + ": " + kNoImages;
    return 0;
}

FILE* open_disc_in_image(const fs::path& image, int32_t, std::string* error)
{
    *error = utf8_of(image) + ": " + kNoImages;
    return nullptr;
}

int serve_image_disc(const std::string&, const fs::path&, int32_t)
{
    return 0;
}

void stop_serving_image_disc(const std::string&) {}

void stop_serving_image_discs() {}

void set_image_salvage(int) {}

std::string served_open_error()
{
    return "";
}
