#include "PictureFile.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>

namespace {

std::string XmlEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '&') escaped += "&amp;";
    else if (c == '<') escaped += "&lt;";
    else if (c == '>') escaped += "&gt;";
    else if (static_cast<unsigned char>(c) < 0x20) escaped += ' ';
    else escaped += c;
  }
  return escaped;
}

// cairo writes no title into an SVG document: it goes right after the opening <svg> tag.
bool InsertSvgTitle(std::string& svg, const std::string& title) {
  const size_t tag = svg.find("<svg");
  const size_t end = tag == std::string::npos ? tag : svg.find('>', tag);
  if (end == std::string::npos) return false;
  svg.insert(end + 1, "\n<title>" + XmlEscaped(title) + "</title>");
  return true;
}

}  // namespace

PictureFile::PictureFile(PictureFormat format, int width, int height, const std::string& title,
                         const std::string& creation_date)
    : format_(format), title_(title) {
  switch (format) {
    case PictureFormat::Png:
      surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
      break;
    case PictureFormat::Svg:
      surface_ = cairo_svg_surface_create_for_stream(Append, &bytes_, width, height);
      cairo_svg_surface_set_document_unit(surface_, CAIRO_SVG_UNIT_PX);
      break;
    case PictureFormat::Pdf:
      surface_ = cairo_pdf_surface_create_for_stream(Append, &bytes_, width, height);
      cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, title.c_str());
      cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, "pivplot");
      cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATE_DATE, creation_date.c_str());
      break;
  }
  cr_ = cairo_create(surface_);
}

PictureFile::~PictureFile() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

cairo_status_t PictureFile::Append(void* closure, const unsigned char* data, unsigned int length) {
  // No exception may cross cairo's C code.
  try {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
  } catch (...) {
    return CAIRO_STATUS_NO_MEMORY;
  }
}

bool PictureFile::Finish(std::string& bytes, std::string& error) {
  cairo_status_t status = cairo_status(cr_);
  if (status == CAIRO_STATUS_SUCCESS) {
    if (format_ == PictureFormat::Png) {
      cairo_surface_flush(surface_);
      status = cairo_surface_write_to_png_stream(surface_, Append, &bytes_);
    } else {
      cairo_surface_finish(surface_);
      status = cairo_surface_status(surface_);
    }
  }
  if (status != CAIRO_STATUS_SUCCESS) {
    error = std::string("cannot draw the picture: ") + cairo_status_to_string(status);
    return false;
  }
  if (format_ == PictureFormat::Svg && !InsertSvgTitle(bytes_, title_)) {
    error = "cannot draw the picture: the SVG document has no <svg> element";
    return false;
  }
  bytes.swap(bytes_);
  return true;
}
