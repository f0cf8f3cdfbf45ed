// tarvex-mpi: tarvex's analysis of a series of image pairs spread over the ranks of an MPI
// job (mpirun -n R tarvex-mpi [tarvex's options] -all start inc stride FILE), on one machine
// or a cluster sharing the image-pair file's file system.
#include <mpi.h>

#include <cstdio>
#include <new>

#include "ClusterRun.h"

using namespace tarvex;

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int rank = 0, ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  // The other ranks' console text reaches standard output through rank 0, in pair order.
  if (rank != 0 && std::freopen("/dev/null", "w", stdout) == nullptr) MPI_Abort(MPI_COMM_WORLD, 1);
  int status = 1;
  try {
    status = RunCluster(argc, argv, rank, ranks);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarvex-mpi: rank %d ran out of memory; the run is stopped\n", rank);
    // Stops every rank: the others would otherwise wait for this one.
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
  MPI_Finalize();
  return status;
}
