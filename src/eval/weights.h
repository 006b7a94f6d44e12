// The evaluation's weights by theme, in centipawns; the tables by square and by count are data.
#pragma once

// --- Lazy exits ----------------------------------------------------------------------------------
// How far material alone may lie outside the window before no other term could bring it back.
constexpr int LAZY_MARGIN_MIDDLEGAME = 300;
constexpr int LAZY_MARGIN_TRANSITION = 500;

// --- Material and imbalance ----------------------------------------------------------------------
// A lead in piece material counts for more than its value, in steps by the size of the lead.
constexpr int ROOK_LEAD = 500;
constexpr int MINOR_LEAD = 315;
constexpr int SMALL_LEAD = 180;
struct Imbalance {
    int rook_lead, minor_lead, small_lead;  // bonus by the piece-material lead, largest first
    int minor_count_lead;                   // at a smaller lead: this many minor pieces more...
    int more_minors;                        // ...earn this
    int lone_queen;                         // a queen against none
};
constexpr Imbalance MIDDLEGAME_IMBALANCE = {.rook_lead = 200, .minor_lead = 100, .small_lead = 50,
                                            .minor_count_lead = 2, .more_minors = 50, .lone_queen = 50};
// In the endgame a rook lead earns no more than a minor piece's.
constexpr Imbalance ENDGAME_IMBALANCE = {.rook_lead = 50, .minor_lead = 50, .small_lead = 25,
                                         .minor_count_lead = 3, .more_minors = 25, .lone_queen = 25};

// --- Piece pairs ----------------------------------------------------------------------------------
// The bishop pair's bonus by pawns on the board is a table; these add to it.
constexpr int BISHOP_PAIR_NO_ENEMY_BISHOP = 20;
constexpr int BISHOP_PAIR_NO_ENEMY_MINOR = 10;  // and no enemy knight either
constexpr int KNIGHT_PAIR = -8;                 // two knights do the same work
constexpr int ROOK_PAIR = -16;
// Two bishops against two knights and nothing else: the pair wins nothing there.
constexpr int TWO_BISHOPS_MATERIAL = 640;
constexpr int TWO_KNIGHTS_MATERIAL = 630;

// --- Pawn structure and passed pawns ----------------------------------------------------------------
constexpr int UNMOVED_CENTRE_PAWN = -10;         // middlegame, on its start square
constexpr int BLOCKED_CENTRE_PAWN = -20;         // on its start square, the square ahead taken
constexpr int ENDGAME_DOUBLED_FACTOR = 2;        // times the doubled-pawn table
constexpr int ENDGAME_ISOLATED_FACTOR = 2;       // times the isolated-pawn table
// Passed and candidate pawns: a base plus a weight times the passed factor of the pawn's rank.
constexpr int PASSED_BASE = 10;
constexpr int PASSED_PER_FACTOR = 6;
constexpr int PASSED_NOT_ISOLATED = 20;          // a friendly pawn on a neighbouring file
constexpr int CANDIDATE_BASE = 5;
constexpr int CANDIDATE_PER_FACTOR = 5;
constexpr int ENDGAME_CANDIDATE_BASE = 10;
constexpr int ENDGAME_CANDIDATE_PER_FACTOR = 10;
// Endgame passed pawn: a base, then per factor the enemy king's distance from the square ahead
// (doubled) plus a constant minus half the own king's distance.
constexpr int ENDGAME_PASSED_BASE = 20;
constexpr int ENEMY_KING_DISTANCE_WEIGHT = 2;
constexpr int KING_DISTANCE_BASE = 12;
constexpr int OWN_KING_DISTANCE_DIVISOR = 2;
constexpr int ENDGAME_PASSED_NOT_ISOLATED = 20;
constexpr int FREE_PATH_PER_FACTOR = 6;          // the square ahead empty and not attacked
constexpr int UNSTOPPABLE_PER_FACTOR = 80;       // a bare king outside the pawn's square
constexpr int ROOK_BEHIND_PASSED_PAWN = 70;      // per own rook on the file behind it

// --- King safety ------------------------------------------------------------------------------------
// The zone attack counts weaknesses around a king (the table turns the count into a score) only
// while the attacker keeps its queen and this many other pieces.
constexpr int KING_ATTACK_MIN_PIECES = 2;
constexpr int ZONE_ATTACKED = 1;              // a zone square the attacker hits
constexpr int ZONE_UNDEFENDED = 1;            // ...that no own man but the king defends
constexpr int ZONE_FRONT_NOT_OWN = 2;         // ...in front of the king, empty or the enemy's
constexpr int ZONE_FRONT_OWN_PIECE = 1;       // ...in front of the king, an own piece
constexpr int ZONE_FRONT_OPEN = 1;            // a square in front, not hit but not held either
constexpr int KING_IN_CHECK = 50;             // to the attacker
constexpr int KING_ON_WING = 40;              // out of the centre, the corner rook gone
// Shelter by the relative row of the own rearmost pawn on a file, storm by the enemy's.
constexpr int SHELTER_PAWN_ADVANCED = -10;    // one step from its start square
constexpr int SHELTER_PAWN_FAR = -20;         // further up
constexpr int SHELTER_NO_PAWN = -25;
constexpr int STORM_NO_PAWN = -15;            // the file is open to the enemy's rooks
constexpr int STORM_PAWN_CLOSE = -10;         // on the owner's third rank
constexpr int STORM_PAWN_NEAR = -5;           // on the owner's fourth rank
constexpr int SHELTER_FAR_FILE_DIVISOR = 2;   // the third file of a wing counts half
constexpr int KING_OPEN_CENTRE_FILE = -10;    // per file by a central king without pawns
constexpr int FULL_PIECE_MATERIAL = 3220;     // one side's pieces at the start; scales the shelter

// --- Knights ------------------------------------------------------------------------------------------
constexpr int KNIGHT_AT_HOME = -5;            // middlegame, on its start square

// --- Bishops ------------------------------------------------------------------------------------------
constexpr int BISHOP_AT_HOME = -5;            // middlegame, on its start square
constexpr int TRAPPED_BISHOP = -160;          // shut in a corner behind two enemy pawns
// A lone bishop with at least this many pawns, and this many of them on its colour, pays the table.
constexpr int BISHOP_PAWN_COLOUR_MIN = 3;

// --- Rooks --------------------------------------------------------------------------------------------
constexpr int ROOK_OPEN_FILE = 15;            // no pawn on the file
constexpr int ROOK_HALF_OPEN_FILE = 10;       // only enemy pawns on it
constexpr int ROOK_SHUT_IN = -70;             // beside its uncastled king on the back rank
constexpr int ROOK_ON_SEVENTH = 20;
constexpr int ENDGAME_ROOK_ON_SEVENTH = 40;

// --- Queens -------------------------------------------------------------------------------------------
constexpr int EARLY_QUEEN = -10;              // off its square with a minor piece still at home
constexpr int QUEEN_ON_SEVENTH = 10;
constexpr int ENDGAME_QUEEN_ON_SEVENTH = 20;

// --- Endgame scaling and drawish endings ----------------------------------------------------------
constexpr int NO_PAWN_LEFT = -50;             // pawns are what wins an ending
constexpr int ONE_PAWN_LEFT = -25;
// Bishop endings: the difference scales by the pawns on the board over these.
constexpr int OPPOSITE_BISHOPS_PAWN_SCALE = 16;
constexpr int SAME_BISHOPS_PAWN_SCALE = 8;    // with the pawns balanced within one
constexpr int DRAWISH_ROOK_ENDING_DIVISOR = 4;

// --- Trade-down and tempo -----------------------------------------------------------------------------
constexpr int TRADE_DOWN_DIVISOR = 100;       // a point per pawn's worth of enemy pieces traded
constexpr int PAWN_TRADE = 5;                 // to the side behind, once pawns of the side ahead went
constexpr int TEMPO_BONUS = 10;               // for the side to move, in every stored score
