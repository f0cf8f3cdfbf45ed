// pralen: turns a list of TIFF images into one image-pair file, one image per TIFF file; with
// -fulldepth, TIFF and PNG files with their grey samples as stored, every page of each.
// A run that fails leaves no output (an older file of that name stays as it was).
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "ConverterCommandLines.h"
#include "FileIdentity.h"
#include "FullDepthImages.h"
#include "ImagePairFile.h"
#include "TIFFImageReader.h"

namespace {

// The output file: the first image gives the size in the header, every later one must have it.
class PralenOutput {
 public:
  enum class Added { Written, OtherSize, Failed };

  bool Open(const char* output) {
    if (writer_.Open(output)) return true;
    std::cout << "\n\nProblem opening output file " << output << " ....\n\n" << std::endl;
    return false;
  }
  // Failed: the reason is printed (OutputFailure).
  Added Add(const _16BitImage& image) {
    if (images_ == 0) {
      width_ = image.nx;
      height_ = image.ny;
      if (!writer_.WriteHeader(width_, height_)) return Fail();
    } else if (image.nx != width_ || image.ny != height_) {
      return Added::OtherSize;
    }
    if (!writer_.WriteImage(image.data, static_cast<size_t>(width_) * height_)) return Fail();
    ++images_;
    return Added::Written;
  }
  int Finish() { return writer_.Close() ? EXIT_SUCCESS : OutputFailure(writer_); }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  Added Fail() {
    OutputFailure(writer_);
    return Added::Failed;
  }

  ImagePairFileWriter writer_;
  int images_ = 0;
  int width_ = 0, height_ = 0;
};

void AnnounceWriting(const std::string& name) {
  std::cout << "\nWriting out image from file \"" << name << "\"" << std::endl;
}

int ConvertTIFFFiles(char* argv[], const PralenCommandLine& line) {
  std::cout << "You have selected: " << std::endl;
  for (int i = line.first; i < line.first + line.inputs; ++i)
    std::cout << "Input   TIFF File  = " << argv[i] << std::endl;
  std::cout << "Output  16Bit File = " << line.output << std::endl;
  PralenOutput output;
  if (!output.Open(line.output)) return EXIT_FAILURE;
  std::cout << "\nConverting TIFF Files -> 16 bit Dat File" << std::endl;

  _16BitImage image;
  for (int i = line.first; i < line.first + line.inputs; ++i) {
    if (ReadTIFFImageToB16(image, argv[i]) == 0) {
      std::cout << "\n\nProblem in ReadTIFFImageToB16, bye ..." << std::endl;
      return EXIT_FAILURE;
    }
    const PralenOutput::Added added = output.Add(image);
    if (added == PralenOutput::Added::OtherSize) {
      std::cout << "\n\nProblem - TIFF Images are not same size" << std::endl;
      std::cout << "\t" << argv[line.first] << ": " << output.Width() << "x" << output.Height() << std::endl;
      std::cout << "\t" << argv[i] << ": " << image.nx << "x" << image.ny << std::endl;
      std::cout << " .... bye ...\n\n";
    }
    if (added != PralenOutput::Added::Written) return EXIT_FAILURE;
    AnnounceWriting(argv[i]);
    image.Release();
  }
  return output.Finish();
}

int ConvertAtFullDepth(char* argv[], const PralenCommandLine& line) {
  std::cout << "You have selected: " << std::endl;
  for (int i = line.first; i < line.first + line.inputs; ++i)
    std::cout << "Input   Image File = " << argv[i] << std::endl;
  std::cout << "Output  16Bit File = " << line.output << std::endl;
  PralenOutput output;
  if (!output.Open(line.output)) return EXIT_FAILURE;
  std::cout << "\nConverting TIFF and PNG Files at full depth -> 16 bit Dat File" << std::endl;

  for (int i = line.first; i < line.first + line.inputs; ++i) {
    const ImageSink write = [&](const _16BitImage& image, int page) {
      const std::string name = PageName(argv[i], page);
      const PralenOutput::Added added = output.Add(image);
      if (added == PralenOutput::Added::OtherSize)
        fprintf(stderr, "\n\nImage %s is %dx%d px, the images before it %dx%d px: one output holds images of one size ....\n\n",
                name.c_str(), image.nx, image.ny, output.Width(), output.Height());
      if (added != PralenOutput::Added::Written) return false;
      AnnounceWriting(name);
      return true;
    };
    if (!ReadFullDepthImages(argv[i], write)) return EXIT_FAILURE;
  }
  return output.Finish();
}

// Whether the output is none of the inputs, compared as files so that "./a.png" or a link is
// caught too: a forgotten output name ("pralen -fulldepth frame_*.png") would otherwise turn
// the last frame into the image-pair file.
bool OutputSparesInputs(char* argv[], const PralenCommandLine& line) {
  for (int i = line.first; i < line.first + line.inputs; ++i) {
    if (!SameFile(line.output, argv[i])) continue;
    fprintf(stderr, "pralen: refusing to write %s: it is the image file %s this run reads\n", line.output, argv[i]);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  PralenCommandLine line;
  if (!ParsePralenCommandLine(argc, argv, line)) return EXIT_FAILURE;
  if (!OutputSparesInputs(argv, line)) return EXIT_FAILURE;
  return line.fullDepth ? ConvertAtFullDepth(argv, line) : ConvertTIFFFiles(argv, line);
}
