// Speed of the deck and of building text. Run: ./build/bench/blackjack_bench

#include <benchmark/benchmark.h>

#include "apstring.h"
#include "cards.h"

namespace {

void BM_Shuffle(benchmark::State& state) {
    Deck deck;
    for (auto _ : state) {
        benchmark::DoNotOptimize(deck.shuffle());
    }
}
BENCHMARK(BM_Shuffle);

void BM_DealWholeDeck(benchmark::State& state) {
    Deck deck;
    for (auto _ : state) {
        deck.shuffle();
        int points = 0;
        for (int i = 0; i < 52; i++) {
            points += deck.deal().getValue();
        }
        benchmark::DoNotOptimize(points);
    }
}
BENCHMARK(BM_DealWholeDeck);

// One character at a time: the doubling keeps reallocations rare.
void BM_AppendCharacters(benchmark::State& state) {
    for (auto _ : state) {
        apstring text;
        for (int i = 0; i < state.range(0); i++) {
            text += 'x';
        }
        benchmark::DoNotOptimize(text.c_str());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_AppendCharacters)->Range(8, 4096)->Complexity();

void BM_CardName(benchmark::State& state) {
    Card card;
    card.setSuit(2);
    card.setFace(12);
    for (auto _ : state) {
        const apstring name = card.face() + apstring(" of ") + card.suit();
        benchmark::DoNotOptimize(name.c_str());
    }
}
BENCHMARK(BM_CardName);

}  // namespace
