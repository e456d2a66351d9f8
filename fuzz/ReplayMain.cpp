// Runs a fuzz target without libFuzzer: every file of a seed corpus, then generated inputs
// (random bytes, and corpus files with random bytes changed, cut or spliced).
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace
{
std::vector<std::string> ReadCorpus(const std::string& dir)
{
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str()))
    {
        while (dirent* e = readdir(d))
        {
            if (e->d_name[0] == '.')
                continue;
            std::ifstream in(dir + "/" + e->d_name, std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            out.push_back(ss.str());
        }
        closedir(d);
    }
    return out;
}

void Run(const std::string& s)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}
} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> corpus = ReadCorpus(argc > 1 ? argv[1] : ".");
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 1000;
    for (const std::string& s : corpus)
        Run(s);
    std::mt19937 rng(12345);
    for (int i = 0; i < rounds; ++i)
    {
        std::string s;
        if (corpus.empty() || rng() % 4 == 0)
        {
            s.resize(rng() % 512);
            for (char& c : s)
                c = char(rng());
        }
        else
        {
            s = corpus[rng() % corpus.size()];
            const int edits = 1 + int(rng() % 8);
            for (int e = 0; e < edits && !s.empty(); ++e)
            {
                switch (rng() % 4)
                {
                case 0:
                    s[rng() % s.size()] = char(rng());
                    break;
                case 1:
                    s.resize(rng() % s.size());
                    break;
                case 2:
                    s.insert(rng() % s.size(), 1, char(rng()));
                    break;
                default:
                {
                    const std::string& other = corpus[rng() % corpus.size()];
                    s += other.substr(rng() % (other.size() + 1));
                }
                }
            }
        }
        Run(s);
    }
    std::printf("%zu corpus inputs and %d generated inputs survived\n", corpus.size(), rounds);
    return 0;
}
