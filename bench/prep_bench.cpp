// dorvu-prep on genomes as they come, against the limit that decompression
// sets, measured in the same run. Writes 64 gzipped FASTA "genomes" of 5 Mb
// each (320 Mb of sequence: random bases with a few runs of N, five records
// per file, lines of 80, zlib level 6) and a sample sheet, then times
//   dorvu-prep --samples on 1 thread and on THREADS threads,
//   zcat of all the files to /dev/null in one process, and
//   zcat on THREADS processes at once (xargs -P),
// each the best of REPEATS runs, and prints the two ratios and the peak
// memory of dorvu-prep. A program, not a test: run it by hand.
//
//   dorvu_prep_bench [THREADS [REPEATS [FOLDER]]]
//
// THREADS defaults to every processor this process may run on, REPEATS to 3.
// The files go to a new folder in FOLDER (default: the temporary folder),
// removed at the end.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "prep/sample_sheet.h"
#include "support/files.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 64;
constexpr std::size_t kRecordsPerFile = 5;
constexpr std::size_t kBasesPerRecord = 1'000'000;
constexpr std::size_t kLineLength = 80;
constexpr int kNRunsPerRecord = 2;

// One record of random bases with a few runs of N, in lines of kLineLength.
std::string RandomRecord(std::mt19937_64& random, int file, std::size_t record) {
  std::string bases(kBasesPerRecord, 'A');
  for (std::size_t i = 0; i < bases.size(); i += 32) {
    std::uint64_t bits = random();
    for (std::size_t j = i; j < std::min(i + 32, bases.size()); ++j, bits >>= 2) bases[j] = "ACGT"[bits & 3];
  }
  for (int run = 0; run < kNRunsPerRecord; ++run) {
    const std::size_t length = 100 + random() % 5000;
    const std::size_t start = random() % (bases.size() - length);
    std::fill_n(bases.begin() + static_cast<std::ptrdiff_t>(start), length, 'N');
  }
  std::string text = ">g" + std::to_string(file) + "_contig" + std::to_string(record + 1) + " made up\n";
  for (std::size_t i = 0; i < bases.size(); i += kLineLength) text.append(bases, i, kLineLength).append("\n");
  return text;
}

void WriteGenome(const fs::path& path, int file) {
  std::mt19937_64 random(static_cast<std::uint64_t>(file) + 1);
  gzFile out = gzopen(path.c_str(), "wb6");
  if (out == nullptr) throw std::runtime_error("cannot write " + path.string());
  for (std::size_t record = 0; record < kRecordsPerFile; ++record) {
    const std::string text = RandomRecord(random, file, record);
    if (gzwrite(out, text.data(), static_cast<unsigned>(text.size())) != static_cast<int>(text.size()))
      throw std::runtime_error("cannot write " + path.string());
  }
  if (gzclose(out) != Z_OK) throw std::runtime_error("cannot write " + path.string());
}

// The genomes, written on `threads` threads, and the sheet; returns the files.
// They are written by a child process: a child's peak memory as the kernel
// counts it includes that of the process that started it, so this one stays small.
std::vector<std::string> WriteGenomes(const fs::path& folder, int threads) {
  std::vector<std::string> files;
  std::string sheet = "leaf\tname\tpath\n";
  for (int k = 1; k <= kFiles; ++k) {
    const std::string name = std::string("g").append(std::to_string(k)).append(".fa.gz");
    files.push_back((folder / name).string());
    sheet += "6." + std::to_string(k) + "\tgenome " + std::to_string(k) + "\t" + name + "\n";
  }
  const pid_t writer = fork();
  if (writer == 0) {
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
      pool.emplace_back([&, t] {
        for (int k = t; k < kFiles; k += threads) WriteGenome(files[static_cast<std::size_t>(k)], k + 1);
      });
    for (auto& thread : pool) thread.join();
    std::_Exit(0);
  }
  int status = 0;
  if (writer < 0 || waitpid(writer, &status, 0) != writer || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("cannot write the genomes");
  dorvu::test::WriteFile(folder / "genomes.samples.tsv", sheet);
  return files;
}

struct Timing {
  double seconds = 0;
  long peakKiB = 0;
};

// Runs the program with standard input from `in` and standard output to
// /dev/null; its time and peak resident size.
Timing Run(const std::vector<std::string>& args, const std::string& in = "/dev/null") {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot run " + args[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(args[0] + " failed");
  return {seconds, usage.ru_maxrss};
}

// The best time of `repeats` runs and the largest peak memory.
Timing Best(std::vector<Timing>& runs) {
  Timing best{runs.front().seconds, 0};
  for (const Timing& run : runs) {
    best.seconds = std::min(best.seconds, run.seconds);
    best.peakKiB = std::max(best.peakKiB, run.peakKiB);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int threads = argc > 1 ? std::atoi(argv[1]) : dorvu::prep::AvailableProcessors();
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
  const fs::path base = argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path();
  if (threads < 1 || repeats < 1) {
    std::fprintf(stderr, "usage: dorvu_prep_bench [THREADS [REPEATS [FOLDER]]]\n");
    return 2;
  }
  dorvu::test::ScratchDir folder(base);
  std::printf("writing %d gzipped genomes of %zu records of %zu bases in %s\n", kFiles, kRecordsPerFile,
              kBasesPerRecord, folder.path().c_str());
  std::fflush(stdout);
  const auto written = Clock::now();
  const std::vector<std::string> files = WriteGenomes(folder.path(), threads);
  std::uintmax_t compressed = 0;
  std::string list;
  for (const auto& file : files) {
    compressed += fs::file_size(file);
    list += file + '\0';
  }
  dorvu::test::WriteFile(folder / "files.list", list);
  std::printf("written in %.1f s: %.1f MB compressed\n", std::chrono::duration<double>(Clock::now() - written).count(),
              compressed / 1e6);

  const std::string sheet = (folder / "genomes.samples.tsv").string();
  const auto prep = [&](int n) {
    return std::vector<std::string>{DORVU_PREP_EXECUTABLE,
                                    "--samples",
                                    sheet,
                                    "--threads",
                                    std::to_string(n),
                                    "-o",
                                    (folder / ("input" + std::to_string(n) + ".txt")).string()};
  };
  std::vector<std::string> zcat{"zcat"};
  zcat.insert(zcat.end(), files.begin(), files.end());
  const std::vector<std::string> parallelZcat{"xargs", "-0", "-P", std::to_string(threads), "-n", "8", "zcat"};

  std::vector<Timing> prepOne, prepAll, zcatOne, zcatAll;
  for (int r = 0; r < repeats; ++r) {
    prepOne.push_back(Run(prep(1)));
    zcatOne.push_back(Run(zcat));
    prepAll.push_back(Run(prep(threads)));
    zcatAll.push_back(Run(parallelZcat, (folder / "files.list").string()));
  }
  const bool same = dorvu::test::ReadFile(folder / "input1.txt") ==
                    dorvu::test::ReadFile(folder / ("input" + std::to_string(threads) + ".txt"));

  const Timing p1 = Best(prepOne), pn = Best(prepAll), z1 = Best(zcatOne), zn = Best(zcatAll);
  const Timing idle = Run({DORVU_PREP_EXECUTABLE, "--version"});
  const double megabases = kFiles * kRecordsPerFile * kBasesPerRecord / 1e6;
  std::printf("best of %d runs, %.0f Mb of sequence\n", repeats, megabases);
  std::printf("dorvu-prep, 1 thread     %6.2f s  %6.0f Mb/s  peak memory %.1f MiB\n", p1.seconds,
              megabases / p1.seconds, p1.peakKiB / 1024.0);
  std::printf("zcat, 1 process          %6.2f s  %6.0f Mb/s\n", z1.seconds, megabases / z1.seconds);
  std::printf("dorvu-prep, %2d threads   %6.2f s  %6.0f Mb/s  peak memory %.1f MiB\n", threads, pn.seconds,
              megabases / pn.seconds, pn.peakKiB / 1024.0);
  std::printf("zcat, %2d processes       %6.2f s  %6.0f Mb/s\n", threads, zn.seconds, megabases / zn.seconds);
  std::printf("ratio 1 thread:   dorvu-prep / zcat          %.2f\n", p1.seconds / z1.seconds);
  std::printf("ratio %d threads:  dorvu-prep / parallel zcat %.2f\n", threads, pn.seconds / zn.seconds);
  std::printf("peak memory of dorvu-prep --version, for comparison: %.1f MiB\n", idle.peakKiB / 1024.0);
  std::printf("outputs on 1 and %d threads %s\n", threads, same ? "are the same" : "DIFFER");
  return same ? 0 : 1;
}
