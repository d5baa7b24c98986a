// Preloaded into kelvory-batch (LD_PRELOAD) to time a build without its syncs: fsync
// and fdatasync return at once, so the difference from a normal run is what they cost.
// Never for real use: it throws away the durability the syncs give.
extern "C" {
int fsync(int) { return 0; }
int fdatasync(int) { return 0; }
}
