// A picture file drawn with cairo: PNG, SVG or PDF, held in memory until finished.
// The title goes into the file's metadata (SVG <title>, PDF Title); the PDF's creation
// date is given, not the clock's, so that the same input gives the same bytes.
#ifndef PIVPLOT_PICTUREFILE_H
#define PIVPLOT_PICTUREFILE_H

#include <cairo.h>

#include <string>

enum class PictureFormat { Png, Svg, Pdf };

class PictureFile {
 public:
  // A picture of width x height pixels (PDF: points); creation_date is ISO 8601
  // (2026-01-31T12:00:00Z) and used by PDF only.
  PictureFile(PictureFormat format, int width, int height, const std::string& title,
              const std::string& creation_date);
  ~PictureFile();
  PictureFile(const PictureFile&) = delete;
  PictureFile& operator=(const PictureFile&) = delete;

  cairo_t* Context() { return cr_; }

  // Ends the drawing and hands over the file's bytes; false with the reason on failure.
  bool Finish(std::string& bytes, std::string& error);

 private:
  static cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length);

  PictureFormat format_;
  std::string title_;
  std::string bytes_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

#endif
