#include "model/Random.h"

RandomSource::~RandomSource() = default;

namespace {

class SystemRandom final : public RandomSource
{
public:
    int upTo(int highest) override
    {
        return highest <= 0 ? 0 : int(QRandomGenerator::global()->bounded(highest + 1));
    }
};

RandomSource* installedSource = nullptr;

} // namespace

RandomSource& randomSource()
{
    static SystemRandom system;
    return installedSource ? *installedSource : system;
}

RandomSource* setRandomSource(RandomSource* source)
{
    RandomSource* previous = installedSource;
    installedSource = source;
    return previous;
}

SeededRandom::SeededRandom(quint32 seed) : generator(seed)
{
    previous = setRandomSource(this);
}

SeededRandom::~SeededRandom()
{
    setRandomSource(previous);
}

int SeededRandom::upTo(int highest)
{
    ++count;
    return highest <= 0 ? 0 : int(generator.bounded(highest + 1));
}
