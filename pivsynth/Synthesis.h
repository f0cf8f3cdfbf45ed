// Puts the pieces together: seeds, renders and writes every pair, then the truth file.
#ifndef PIVSYNTH_SYNTHESIS_H
#define PIVSYNTH_SYNTHESIS_H

#include <string>
#include <vector>

#include "ParticleRenderer.h"
#include "SynthOptions.h"

// Draws the particles into first, and the same particles moved by the field into second.
void RenderPair(const std::vector<Particle>& particles, const DisplacementField& field, double diameter,
                IntensityImage& first, IntensityImage& second);

// Writes options.out and options.out + ".truth". On success summary holds the line to
// print; on failure error says why and neither file is left behind.
bool Synthesize(const SynthOptions& options, std::string& summary, std::string& error);

#endif
