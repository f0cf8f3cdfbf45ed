// The quantities pivplot can colour the picture by, with their names and units.
#ifndef PIVPLOT_QUANTITY_H
#define PIVPLOT_QUANTITY_H

#include <string>

enum class Quantity { None, Speed, Vorticity, Divergence, U, V };

// The word of --color: "speed", "vorticity", "divergence", "u", "v" or "none".
const char* QuantityName(Quantity quantity);

// The unit of the quantity: displacements are pixels per frame, their derivatives 1/frame.
const char* QuantityUnit(Quantity quantity);

// Signed quantities get a map that is centred at 0; magnitudes one that starts at 0.
bool IsSigned(Quantity quantity);

// The quantity named by a word of --color; false for an unknown word.
bool ParseQuantity(const std::string& word, Quantity& quantity);

#endif
