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

# The twelve cases of the deformation tables (512 x 512 px): sub-pixel and large shifts,
# rotation, a Lamb-Oseen vortex of 6 px peak displacement (core 40 px), shear, noise of
# 100 counts on a background of 200, 30 % of the particles in one image only, big dense
# particles in the same vortex, and two sine waves of three and five windows (32 px).
deform_cases="shift 0.3 px|--dx 0.3 --dy 0.15
shift 0.7 px|--dx 0.7 --dy 0.35
shift 7.3, -4.6 px|--dx 7.3 --dy -4.6
solid rotation 0.02 rad|--field rotation --omega 0.02
Lamb-Oseen vortex, core 40 px|--field vortex --gamma 2363 --core 40
shear 0.02 px/px|--field shear --shear 0.02
noise 100 on 200 counts|--dx 2.4 --dy -1.3 --noise 100 --band 0,511,200
30 % out-of-plane loss|--dx 2.4 --dy -1.3 --loss 0.3
big dense particles, vortex|--field vortex --gamma 2363 --core 40 --diameter 4 --density 0.05
sine, 96 px wave, 2 px|--field sine --amplitude 2 --wavelength 96 --direction x --dx 0.5
sine, 160 px wave, 1.5 px|--field sine --amplitude 1.5 --wavelength 160 --direction y --dy 1
shift 2.4, -1.3 px, noise 50|--dx 2.4 --dy -1.3 --noise 50"
