// Attack sets: the tables of the sliders' attacks, filled at start-up.
#include "movegen/bitboard.h"

namespace {

// One magic number per square (bit order, a1 first): sparse random numbers from a fixed-seed
// xorshift generator, each the first that maps every occupancy of its square's lines to an
// index whose entry holds that occupancy's attacks. A square's part of the table then has
// 2^(occupancy bits) entries; the suite's exhaustive check of every occupancy guards them.
constexpr uint64_t RookMagicNumbers[64] = {
    0x2080002080400010ull, 0x00c0002001401000ull, 0x2100110008402002ull, 0x0880080081041000ull,
    0x0200020020041008ull, 0x2300040008010012ull, 0x0c00283004008201ull, 0x0180010000407a80ull,
    0x0168800080400020ull, 0x0010400040201000ull, 0x1001002001001048ull, 0x1001002408100100ull,
    0x0801000408010012ull, 0x4001000209000400ull, 0x08a20004c8020001ull, 0x2002801145002280ull,
    0x0080860021004200ull, 0x001000c009402002ull, 0x00b0002004002800ull, 0x100a808010020800ull,
    0x8101010008000410ull, 0x0244008002000480ull, 0x0000040010810208ull, 0x2000020000448534ull,
    0x4104400480008033ull, 0x0000810100204000ull, 0x0440430900200010ull, 0x4600240900100100ull,
    0x0060080080040080ull, 0x0001000300080400ull, 0x0004084400011002ull, 0x0023040200008041ull,
    0x0580050043002080ull, 0x0400804002802008ull, 0x0001002001004010ull, 0x1000200901001000ull,
    0x4410800801800c00ull, 0xa012003806001004ull, 0x0020100104008802ull, 0x0004808402000041ull,
    0x0010400170898000ull, 0x0080500020004004ull, 0x1040408012020020ull, 0x8010040008004040ull,
    0x2001080100110004ull, 0x0000020004008080ull, 0x0021010810040002ull, 0x0800008c43020024ull,
    0x0000800021005100ull, 0x0070201040008080ull, 0x0000d04282006a00ull, 0x0010014400080240ull,
    0x0001080110050100ull, 0x0012000810240600ull, 0x0402000801040200ull, 0x028100108a004100ull,
    0x0050800300102045ull, 0x8208210040120882ull, 0x8010600101183441ull, 0x020b000910006045ull,
    0x0241001002480005ull, 0x0081000400880241ull, 0x0000009008024124ull, 0x0048122980410402ull,
};
constexpr uint64_t BishopMagicNumbers[64] = {
    0x0848020822040013ull, 0x8010a40085821200ull, 0x0008008430840822ull, 0x0808048108040000ull,
    0x1304042100008104ull, 0x5001012010204023ull, 0x81048801b8200420ull, 0x200a008084012000ull,
    0x0040102001042084ull, 0x840a505042428020ull, 0x0000700102202920ull, 0x44101c0c10800002ull,
    0x0040040422000000ull, 0x0180020802090202ull, 0x4020020811041202ull, 0x000104308c042000ull,
    0x4140661002424400ull, 0x0028012008010460ull, 0x0188062102002a00ull, 0x0014004840102008ull,
    0x0105000290400002ull, 0x8001022200410400ull, 0x104a041918013446ull, 0x008a000082008238ull,
    0x04a0060008100430ull, 0x0008220008820801ull, 0x2508041208005010ull, 0x4008080200202020ull,
    0x2441001013004000ull, 0x0030008060407000ull, 0x4008108000420800ull, 0x0012021050290100ull,
    0x0210080482200500ull, 0xcc01112048100480ull, 0x0020402806500440ull, 0x00048e0080580080ull,
    0x0040102020020080ull, 0x0028010440080807ull, 0x4601041108008800ull, 0x8040810e04104200ull,
    0x901210110400088aull, 0xa003080212081050ull, 0x00c1004048401004ull, 0x900000a014400800ull,
    0x0008021040405401ull, 0x4020008206002090ull, 0x0004190424030100ull, 0x0424008a02026250ull,
    0x8004088250900040ull, 0x1c00430088a04200ull, 0x0001020094040001ull, 0x8040210020880061ull,
    0x2010040450442032ull, 0x0800840850044001ull, 0x0004040802140004ull, 0x0004080a04222020ull,
    0x8088802110022000ull, 0x1081a10416114400ull, 0x0205010a24060820ull, 0x0000000720411080ull,
    0x1008000208430400ull, 0x580c026028810840ull, 0x802020441020a110ull, 0x12c0022401020018ull,
};

// 102,400 rook entries and 5,248 bishop ones.
constexpr int SliderTableSize = 107648;
uint64_t SliderTable[SliderTableSize];

// The attacks along `rays` (indices into KingOffsets) from `s`, each ray ending at its first
// occupied square: the ray less the ray beyond that square.
uint64_t RayAttacks(Square s, const int* rays, uint64_t occupied) {
    uint64_t attacks = 0;
    for (int i = 0; i < 4; ++i) {
        const int d = rays[i];
        const uint64_t ray = Attacks.ray[d][s], blockers = ray & occupied;
        attacks |= blockers ? ray ^ Attacks.ray[d][NearestOnRay(d, blockers)] : ray;
    }
    return attacks;
}

// The occupied squares that matter from `s`: each ray without its last square.
uint64_t LineMask(Square s, const int* rays) {
    uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const uint64_t ray = Attacks.ray[rays[i]][s];
        if (ray) mask |= ray & ~SquareBit(NearestOnRay(rays[i] ^ 1, ray));
    }
    return mask;
}

// Fills one slider's entries from `next` on; returns the next free entry.
int FillSlider(SliderMagic* magics, const uint64_t* numbers, const int* rays, int next) {
    for (int bit = 0; bit < 64; ++bit) {
        const Square s = SquareOfBit(bit);
        SliderMagic& m = magics[s];
        m.mask = LineMask(s, rays);
        m.magic = numbers[bit];
        m.shift = 64 - __builtin_popcountll(m.mask);
        m.attacks = SliderTable + next;
        // Every subset of the mask, by the carry-rippler.
        uint64_t subset = 0;
        do {
            SliderTable[next + int((subset * m.magic) >> m.shift)] = RayAttacks(s, rays, subset);
            subset = (subset - m.mask) & m.mask;
        } while (subset);
        next += 1 << (64 - m.shift);
    }
    return next;
}

bool FillSliderTables() {
    static const int rookRays[4] = {0, 1, 2, 3}, bishopRays[4] = {4, 5, 6, 7};
    const int next = FillSlider(RookMagics, RookMagicNumbers, rookRays, 0);
    return FillSlider(BishopMagics, BishopMagicNumbers, bishopRays, next) == SliderTableSize;
}

}  // namespace

SliderMagic RookMagics[128];
SliderMagic BishopMagics[128];

// Filled before main() runs; nothing reads the tables during static initialisation.
[[maybe_unused]] static const bool SliderTablesFilled = FillSliderTables();
