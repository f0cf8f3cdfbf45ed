#include "Synthesis.h"

#include <cstdio>

#include "ImagePairFile.h"
#include "ParticleSeeding.h"
#include "SynthRandom.h"
#include "TruthFile.h"

void RenderPair(const std::vector<Particle>& particles, const DisplacementField& field, double diameter,
                IntensityImage& first, IntensityImage& second) {
  for (const Particle& p : particles) first.AddParticle(p, diameter);
  for (const Particle& p : MoveParticles(particles, field)) second.AddParticle(p, diameter);
}

namespace {

SeedArea RecordSeedArea(const TruthRecord& o) {
  return SeedingArea(o.width, o.height, SeedMargin(o.field, o.width, o.height, o.diameter));
}

}  // namespace

long long ParticlesPerPair(const TruthRecord& record) { return ParticleCount(record.density, RecordSeedArea(record)); }

bool RenderImages(const TruthRecord& o, const std::function<bool(const std::vector<uint16_t>&)>& take) {
  const SeedArea area = RecordSeedArea(o);
  const long long count = ParticleCount(o.density, area);
  SynthRandom random(o.seed);
  for (int pair = 0; pair < o.pairs; ++pair) {
    IntensityImage first(o.width, o.height), second(o.width, o.height);
    RenderPair(SeedParticles(area, count, random), o.field, o.diameter, first, second);
    first.AddNoise(o.noise, random);
    second.AddNoise(o.noise, random);
    for (const IntensityImage* image : {&first, &second})
      if (!take(image->Quantize())) return false;
  }
  return true;
}

bool Synthesize(const SynthOptions& o, std::string& summary, std::string& error) {
  const std::string truthPath = o.out + ".truth";
  const long long count = ParticlesPerPair(o);
  {
    ImagePairFileWriter writer;
    if (!writer.Open(o.out)) {
      error = writer.Error();
      return false;
    }
    const auto write = [&writer](const std::vector<uint16_t>& pixels) {
      return writer.WriteImage(pixels.data(), pixels.size());
    };
    // A writer that is not closed leaves no file behind.
    if (!writer.WriteHeader(o.width, o.height) || !RenderImages(o, write) || !writer.Close()) {
      error = writer.Error();
      return false;
    }
  }
  // The images without their truth are of no use.
  if (!WriteTextFile(truthPath, TruthText(o), error)) {
    std::remove(o.out.c_str());
    return false;
  }
  const int images = 2 * o.pairs;
  summary = "pivsynth: wrote " + std::to_string(images) + " images of " + std::to_string(o.width) + "x" +
            std::to_string(o.height) + " px (" + std::to_string(o.pairs) + (o.pairs == 1 ? " pair, " : " pairs, ") +
            std::to_string(count) + " particles per pair, " + FieldKindName(o.field.kind) + " field) to " + o.out +
            ", truth in " + truthPath;
  return true;
}
