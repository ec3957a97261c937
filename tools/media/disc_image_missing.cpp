// Disc images in a build without libcdio: every image is refused with a
// message that says so; folders and cdN files work as everywhere.
#include "disc_image.h"

int disc_images_supported()
{
    return 0;
}

int list_image_discs(const fs::path& image, std::vector<ImageDisc>* discs, std::string* error)
{
    discs->clear();
    return open_image_of_discs(image, error) ? 1 : 0;
}

FILE* open_disc_in_image(const fs::path& image, int32_t, std::string* error)
{
    open_image_of_discs(image, error);
    return nullptr;
}

std::unique_ptr<DiscMedium> open_image_of_discs(const fs::path& image, std::string* error)
{
    return open_disc_image(image, ImageReading(), error);
}

void set_image_salvage(int) {}
