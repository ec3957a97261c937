// Disc images as discs in a build without libcdio: every image is refused
// with a message that says so.
#include "disc_medium.h"

std::unique_ptr<DiscMedium> open_disc_image(const fs::path& image, const ImageReading&, std::string* error)
{
    *error = utf8_of(image) +
             ": this build of discset does not read disc images (it was built without libcdio); "
             "mount or copy out the image and give the folder that holds cdN";
    return nullptr;
}
