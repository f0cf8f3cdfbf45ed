# The pivsynth cases of the accuracy tables, one "name|pivsynth options" per line, sourced by
# accuracy.sh and deform_accuracy.sh so that both score the same flows.
cases="shift 0.1 px|--dx 0.1 --dy 0.05
shift 0.3 px|--dx 0.3 --dy 0.15
shift 0.5 px|--dx 0.5 --dy 0.25
shift 0.7 px|--dx 0.7 --dy 0.35
shift 0.9 px|--dx 0.9 --dy 0.45
shift 7.3, -4.6 px|--dx 7.3 --dy -4.6
solid rotation 0.02 rad|--field rotation --omega 0.02
Lamb-Oseen vortex|--field vortex --gamma 600 --core 30
shift 2.4, -1.3 px, noise 100|--dx 2.4 --dy -1.3 --noise 100"

# The deformation tables add a weak shear.
deform_cases=$(printf '%s\n%s' "$cases" "shear 0.02 px/px|--field shear --shear 0.02")
