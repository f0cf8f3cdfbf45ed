// Puts the pieces together: seeds, renders and writes every pair, then the truth file.
#ifndef PIVSYNTH_SYNTHESIS_H
#define PIVSYNTH_SYNTHESIS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ParticleRenderer.h"
#include "SynthOptions.h"

// Draws the seeded particles, placed by the field in the scheme (see PlaceParticle), into
// first and second; a particle seen in one image only is drawn into that one.
void RenderPair(const std::vector<Particle>& seeded, const DisplacementField& field, SynthScheme scheme,
                double diameter, IntensityImage& first, IntensityImage& second);

// Number of particles drawn for each pair of a record's images.
long long ParticlesPerPair(const TruthRecord& record);

// Renders the record's pairs in file order, handing every image (width * height counts, row
// after row) to take as it is made: images 2k - 1 and 2k are pair k. Stops when take returns
// false, and returns whether every image was taken. The images are those Synthesize writes.
// Masked regions stay free of particle light (see ParticleMask.h). Each image is the particle
// light, dimmed where the light sheet is dark, plus the static background (SceneLightImages.h),
// plus the noise, rounded to 12 bits.
bool RenderImages(const TruthRecord& record, const std::function<bool(const std::vector<uint16_t>&)>& take);

// Writes options.out, options.out + ".truth" and, when regions are masked, their mask
// options.out + ".mask.png" (see MaskFile.h). On success summary holds the line to print; on
// failure error says why and none of the files is left behind. (Defined in SynthesisFiles.cpp.)
bool Synthesize(const SynthOptions& options, std::string& summary, std::string& error);

#endif
