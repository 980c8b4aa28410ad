#include "Pellmar/media/HeifDecoding.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/media/DecodeBudget.h"
#include "Pellmar/media/HeifFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

double PictureBox::scaleFor(int imageWidth, int imageHeight) const
{
    const double across = double(width) / imageWidth;
    const double down = double(height) / imageHeight;
    return std::min(cover ? std::max(across, down) : std::min(across, down), 1.0);
}

namespace {

struct Plane {
    const uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
};

std::optional<Plane> planeOf(const heif_image* image, heif_channel channel)
{
    Plane plane;
    plane.data = heif_image_get_plane_readonly(image, channel, &plane.stride);
    plane.width = heif_image_get_width(image, channel);
    plane.height = heif_image_get_height(image, channel);
    if (!plane.data || plane.width < 1 || plane.height < 1 || plane.stride < plane.width)
        return std::nullopt;
    return plane;
}

// `width` x `height` averages of boxes of `boxWidth` x `boxHeight` samples, from the top left.
std::vector<uint8_t> boxAverages(const Plane& plane, int boxWidth, int boxHeight, int width, int height)
{
    std::vector<uint8_t> result(size_t(width) * size_t(height));
    std::vector<uint32_t> sums(static_cast<size_t>(width));
    const uint32_t area = uint32_t(boxWidth) * uint32_t(boxHeight);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = y * boxHeight; row < (y + 1) * boxHeight; ++row) {
            const uint8_t* line = plane.data + ptrdiff_t(row) * plane.stride;
            for (int x = 0; x < width; ++x) {
                uint32_t sum = 0;
                for (const uint8_t* sample = line + ptrdiff_t(x) * boxWidth; sample < line + ptrdiff_t(x + 1) * boxWidth; ++sample)
                    sum += *sample;
                sums[size_t(x)] += sum;
            }
        }
        uint8_t* out = result.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x)
            out[x] = uint8_t((sums[size_t(x)] + area / 2) / area);
    }
    return result;
}

// A chroma plane subsampled by two both ways brought to the luma averaged by `factor`: averaged
// over the same boxes when the factor is even, else (a factor of 1) each sample repeated.
std::vector<uint8_t> chromaFor(const Plane& plane, int factor, int width, int height)
{
    if (factor % 2 == 0)
        return boxAverages(plane, factor / 2, factor / 2, width, height);
    std::vector<uint8_t> result(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* line = plane.data + ptrdiff_t(y / 2) * plane.stride;
        for (int x = 0; x < width; ++x)
            result[size_t(y) * size_t(width) + size_t(x)] = line[x / 2];
    }
    return result;
}

// How Y'CbCr turns into R'G'B', from the colour description the image carries.
struct Matrix {
    double kr = 0.299;   // BT.601, what libheif assumes when nothing is said
    double kb = 0.114;
    bool fullRange = true;
};

using NclxProfile = std::unique_ptr<heif_color_profile_nclx, decltype(&heif_nclx_color_profile_free)>;

// The colour description of the decoded image, or of the file when the image carries none; null
// when neither does. Without a decoded image, the file's.
NclxProfile nclxOf(const heif_image* image, const heif_image_handle* handle)
{
    heif_color_profile_nclx* nclx = nullptr;
    if (!image || heif_image_get_nclx_color_profile(image, &nclx).code != heif_error_Ok)
        heif_image_handle_get_nclx_color_profile(handle, &nclx);
    return {nclx, &heif_nclx_color_profile_free};
}

std::optional<Matrix> matrixOf(const heif_color_profile_nclx* nclx)
{
    Matrix matrix;
    if (!nclx)
        return matrix;
    matrix.fullRange = nclx->full_range_flag != 0;
    switch (nclx->matrix_coefficients) {
    case heif_matrix_coefficients_ITU_R_BT_709_5:
        matrix.kr = 0.2126, matrix.kb = 0.0722;
        break;
    case heif_matrix_coefficients_US_FCC_T47:
        matrix.kr = 0.30, matrix.kb = 0.11;
        break;
    case heif_matrix_coefficients_SMPTE_240M:
        matrix.kr = 0.212, matrix.kb = 0.087;
        break;
    case heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance:
    case heif_matrix_coefficients_ITU_R_BT_2020_2_constant_luminance:
        matrix.kr = 0.2627, matrix.kb = 0.0593;
        break;
    // RGB planes, YCgCo, and matrices derived from the primaries: libheif's own conversion.
    case heif_matrix_coefficients_RGB_GBR:
    case heif_matrix_coefficients_YCgCo:
    case heif_matrix_coefficients_SMPTE_ST_2085:
    case heif_matrix_coefficients_chromaticity_derived_non_constant_luminance:
    case heif_matrix_coefficients_chromaticity_derived_constant_luminance:
    case heif_matrix_coefficients_ICtCp:
        return std::nullopt;
    default:
        break;
    }
    return matrix;
}

// Interleaved 8-bit R'G'B' from luma and chroma of the same size.
std::vector<uint8_t> toRgb(const std::vector<uint8_t>& luma, const std::vector<uint8_t>& cb,
                           const std::vector<uint8_t>& cr, const Matrix& matrix)
{
    const double kg = 1 - matrix.kr - matrix.kb;
    const double rFromCr = 2 * (1 - matrix.kr);
    const double gFromCb = 2 * matrix.kb * (1 - matrix.kb) / kg;
    const double gFromCr = 2 * matrix.kr * (1 - matrix.kr) / kg;
    const double bFromCb = 2 * (1 - matrix.kb);
    const double lumaScale = matrix.fullRange ? 1.0 : 255.0 / 219;
    const double lumaOffset = matrix.fullRange ? 0.0 : 16.0;
    const double chromaScale = matrix.fullRange ? 1.0 : 255.0 / 224;
    const auto channel = [](double value) { return uint8_t(std::clamp(std::lround(value), 0L, 255L)); };

    std::vector<uint8_t> rgb(luma.size() * 3);
    for (size_t i = 0; i < luma.size(); ++i) {
        const double y = (luma[i] - lumaOffset) * lumaScale;
        const double u = (cb[i] - 128.0) * chromaScale;
        const double v = (cr[i] - 128.0) * chromaScale;
        rgb[3 * i] = channel(y + rFromCr * v);
        rgb[3 * i + 1] = channel(y - gFromCb * u - gFromCr * v);
        rgb[3 * i + 2] = channel(y + bFromCb * u);
    }
    return rgb;
}

void attachIccProfile(vips::VImage& image, const heif_image_handle* handle)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC)
        return;
    std::vector<uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle));
    if (profile.empty() || heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
        return;
    vips_image_set_blob_copy(image.get_image(), VIPS_META_ICC_NAME, profile.data(), profile.size());
}

[[noreturn]] void undecodable()
{
    throw DatabaseError(QStringLiteral("no decodable image"));
}

} // namespace

std::optional<vips::VImage> decodeHeifShrunk(const QString& path, const PictureBox& box,
                                             const std::function<bool()>& isCancelled)
{
    const HeifContext context = openHeif(path, std::nullopt);
    const HeifHandle handle = context ? primaryHeifImage(context.get()) : nullptr;
    // A file whose planes are not Y'CbCr this path can turn into RGB is left to libvips before
    // anything is decoded, so that no image is decoded twice.
    if (!handle || heif_image_handle_has_alpha_channel(handle.get())
        || heif_image_handle_get_luma_bits_per_pixel(handle.get()) != 8
        || heif_image_handle_get_chroma_bits_per_pixel(handle.get()) > 8
        || !matrixOf(nclxOf(nullptr, handle.get()).get()))
        return std::nullopt;
    // The size the file declares, before the decoder allocates a picture of it.
    requirePixelBudget(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()));
    if (isCancelled && isCancelled())
        undecodable();
    // The decodes of a grid run one per core already: the decoder's own threads would only share them.
    heif_context_set_max_decoding_threads(context.get(), 0);
    heif_image* decoded = nullptr;
    // Y'CbCr 4:2:0, as cameras and our own previews code it, so that the planes come as coded
    // (others are converted by libheif); rotation, mirroring and crop are applied to them. Asked
    // for as "undefined", libheif hands over RGB planes instead, which this path cannot use.
    if (heif_decode_image(handle.get(), &decoded, heif_colorspace_YCbCr, heif_chroma_420, nullptr).code
        != heif_error_Ok)
        undecodable();
    const HeifImage image(decoded);
    if (isCancelled && isCancelled())
        undecodable();

    // Planes other than those asked for go to libvips after all, which decodes the file again.
    const std::optional<Plane> luma = planeOf(image.get(), heif_channel_Y);
    const std::optional<Plane> blue = planeOf(image.get(), heif_channel_Cb);
    const std::optional<Plane> red = planeOf(image.get(), heif_channel_Cr);
    const std::optional<Matrix> matrix = matrixOf(nclxOf(image.get(), handle.get()).get());
    const auto eightBits = [&](heif_channel channel) { return heif_image_get_bits_per_pixel_range(image.get(), channel) == 8; };
    const auto covers = [&](const std::optional<Plane>& plane) {
        return plane && plane->width * 2 >= luma->width && plane->height * 2 >= luma->height;
    };
    if (heif_image_get_colorspace(image.get()) != heif_colorspace_YCbCr
        || heif_image_get_chroma_format(image.get()) != heif_chroma_420 || !luma || !covers(blue) || !covers(red)
        || !matrix || !eightBits(heif_channel_Y) || !eightBits(heif_channel_Cb) || !eightBits(heif_channel_Cr))
        return std::nullopt;

    // Averaging leaves at least a factor of two to the resize that follows, as shrink-on-load
    // does; an even factor keeps the chroma boxes on whole samples.
    const double scale = box.scaleFor(luma->width, luma->height);
    int factor = std::max(1, int(std::floor(0.5 / scale)));
    if (factor > 1)
        factor -= factor % 2;
    const int width = luma->width / factor;
    const int height = luma->height / factor;

    const std::vector<uint8_t> rgb = toRgb(boxAverages(*luma, factor, factor, width, height),
                                           chromaFor(*blue, factor, width, height),
                                           chromaFor(*red, factor, width, height), *matrix);
    VipsImage* copy = vips_image_new_from_memory_copy(rgb.data(), rgb.size(), width, height, 3, VIPS_FORMAT_UCHAR);
    if (!copy)
        undecodable();
    vips::VImage result = vips::VImage(copy).copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    attachIccProfile(result, handle.get());
    return result;
}
