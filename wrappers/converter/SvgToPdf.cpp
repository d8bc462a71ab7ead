#include "SvgToPdf.h"

#include "OutputFile.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <memory>

namespace BRASK::WRAPPERS {

namespace {

constexpr double kPointsPerPixel = 72.0 / 96.0;

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

using HandlePtr = std::unique_ptr<RsvgHandle, GObjectDeleter>;

cairo_status_t WriteToOutput(void* closure, const unsigned char* data, unsigned int length) {
    return static_cast<OutputFile*>(closure)->Write(data, length) ? CAIRO_STATUS_SUCCESS
                                                                  : CAIRO_STATUS_WRITE_ERROR;
}

HandlePtr OpenSvg(const std::string& path, std::string& error) {
    std::unique_ptr<GFile, GObjectDeleter> file(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    HandlePtr handle(rsvg_handle_new_from_gfile_sync(file.get(), RSVG_HANDLE_FLAGS_NONE, nullptr, &raw));
    std::unique_ptr<GError, ErrorDeleter> failure(raw);
    if (!handle) {
        error = failure ? failure->message : "librsvg cannot read the file";
        return nullptr;
    }
    rsvg_handle_set_dpi(handle.get(), 96.0);
    return handle;
}

bool Measure(RsvgHandle* handle, SvgSize& size, std::string& error) {
    size = SvgSize{};
    if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &size.width, &size.height) && size.width > 0 &&
        size.height > 0)
        return true;
    gboolean hasViewBox = FALSE;
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &hasViewBox, &viewBox);
    if (hasViewBox && viewBox.width > 0 && viewBox.height > 0) {
        size.width = viewBox.width;
        size.height = viewBox.height;
        return true;
    }
    RsvgRectangle ink{}, logical{};
    GError* raw = nullptr;
    const gboolean ok = rsvg_handle_get_geometry_for_element(handle, nullptr, &ink, &logical, &raw);
    std::unique_ptr<GError, ErrorDeleter> failure(raw);
    if (!ok || !(ink.width > 0 && ink.height > 0)) {
        error = failure ? failure->message : "the SVG has no size and draws nothing";
        return false;
    }
    size = SvgSize{ink.width, ink.height, ink.x, ink.y};
    return true;
}

} // namespace

bool MeasureSvg(const std::string& path, SvgSize& size, std::string& error) {
    HandlePtr handle = OpenSvg(path, error);
    return handle && Measure(handle.get(), size, error);
}

bool ConvertSvgToPdf(const std::string& sourcePath, const std::string& outputPath, std::string& error) {
    HandlePtr handle = OpenSvg(sourcePath, error);
    SvgSize size;
    if (!handle || !Measure(handle.get(), size, error))
        return false;

    // cairo writes through the file opened here, so that no link at the path redirects it.
    OutputFile output;
    std::string refusal;
    if (!output.Open(outputPath, refusal)) {
        error = "the output file " + outputPath + " is refused: " + refusal;
        return false;
    }
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(cairo_pdf_surface_create_for_stream(
        &WriteToOutput, &output, size.width * kPointsPerPixel, size.height * kPointsPerPixel));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(cairo_surface_status(surface.get()));
        output.Discard();
        return false;
    }
    bool rendered = false;
    {
        std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
        cairo_scale(cr.get(), kPointsPerPixel, kPointsPerPixel);
        // Drawn extents that start away from the origin are moved onto the page.
        const RsvgRectangle viewport{-size.x, -size.y, size.width + size.x, size.height + size.y};
        const RsvgRectangle page =
            size.x == 0 && size.y == 0 ? RsvgRectangle{0, 0, size.width, size.height} : viewport;
        GError* raw = nullptr;
        rendered = rsvg_handle_render_document(handle.get(), cr.get(), &page, &raw);
        std::unique_ptr<GError, ErrorDeleter> failure(raw);
        if (!rendered)
            error = failure ? failure->message : "librsvg cannot render the file";
    }
    cairo_surface_finish(surface.get());
    const cairo_status_t status = cairo_surface_status(surface.get());
    if (rendered && status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        rendered = false;
    }
    if (rendered && !output.Close(error))
        rendered = false;
    if (!rendered)
        output.Discard();
    return rendered;
}

} // namespace BRASK::WRAPPERS
