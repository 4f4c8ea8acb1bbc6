// Monodromy on a graph of members: roots carried along every edge, new roots collected at every
// node, the points joined by paths recorded.
#include "decompose/monodromy.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <utility>

#include "decompose/monodromy_parameters.h"
#include "decompose/monodromy_points.h"
#include "decompose/monodromy_track.h"
#include "solve/family_layout.h"
#include "zormix/error.h"

namespace zormix {
namespace {

// Streams of the seed (solve/family_layout.h): node k >= 1 draws its parameters from stream k,
// edge e its gamma and its tracker's checks from stream kEdgeStreams + e.
constexpr std::int64_t kEdgeStreams = std::int64_t{1} << 32;

Complex UnitDraw(RuntimeUniform& draws) {
  return std::polar(1.0, 2.0 * std::numbers::pi * draws.Next());
}

std::vector<Complex> DefaultDraw(std::span<const Complex> base, double spread,
                                 RuntimeUniform& draws) {
  std::vector<Complex> p;
  for (const Complex& b : base) {
    const double re = 2.0 * draws.Next() - 1.0;
    const double im = 2.0 * draws.Next() - 1.0;
    p.push_back(b + spread * std::max(1.0, std::abs(b)) * Complex(re, im));
  }
  return p;
}

// A new node lies at spread s times the base's size from it, s log-uniform in [S, kSpreadRange S];
// S doubles after every round of the graph that found nothing, up to kLargestSpread. Loops near
// the base encircle only the branch points near it, and a root whose branch points all lie
// farther out is moved by no loop there (a Stewart-Gough root of size 8 stayed fixed under every
// loop of spread 1 and 3; the planar robot's branch points lie at leg lengths of 10 to 100, its
// base near 1); nodes at several distances make loops of every size.
constexpr double kSpreadGrowth = 2.0;
constexpr double kSpreadRange = 8.0;
constexpr double kLargestSpread = 64.0;

// Union-find that grows with the points; the representative of a set is its smallest member.
class GrowingSets {
 public:
  std::int64_t Add() {
    parent_.push_back(static_cast<std::int64_t>(parent_.size()));
    return parent_.back();
  }
  std::int64_t Find(std::int64_t k) {
    while (parent_[k] != k) k = parent_[k] = parent_[parent_[k]];
    return k;
  }
  bool Join(std::int64_t a, std::int64_t b) {
    a = Find(a);
    b = Find(b);
    if (a == b) return false;
    parent_[std::max(a, b)] = std::min(a, b);
    return true;
  }

 private:
  std::vector<std::int64_t> parent_;
};

struct Node {
  std::vector<Complex> parameters;
  std::unique_ptr<MonodromyPoints> known;
  std::shared_ptr<const SegmentTarget> target;
  std::vector<std::uint8_t> representative;  // carried along edges (orbit leaders)
  std::vector<std::int64_t> id;              // per point: its number in the union-find
};

struct Edge {
  MonodromyEdge record;
  RuntimeUniform draws{0};             // the tracker's checks, continued batch after batch
  std::vector<std::uint8_t> carried;   // per point of the source: carried along (or failed)
  std::vector<std::int64_t> preimage;  // per point of the target: the point that came there
};

class Engine {
 public:
  Engine(const ParametricSystem& family, std::span<const Complex> base,
         const MonodromyOptions& options)
      : family_(family), base_(base.begin(), base.end()), options_(options) {
    stableLoops_ = options.stableLoops > 0 ? options.stableLoops
                                           : static_cast<int>(kMonodromyStableLoops.value());
    maxLoops_ =
        options.maxLoops > 0 ? options.maxLoops : static_cast<int>(kMonodromyMaxLoops.value());
    segment_.threads = std::max(1, options.threads);
    segment_.interrupted = options.interrupted;
  }

  MonodromyResult Run(const ColMajorMatrix<Complex>& given) {
    const auto begin = std::chrono::steady_clock::now();
    AddNode(base_);
    PlaceGiven(given);
    // The triangle: two random nodes, every pair joined both ways.
    AddNode(DrawNode());
    AddNode(DrawNode());
    JoinBothWays(0, 1);
    JoinBothWays(0, 2);
    JoinBothWays(1, 2);
    int loopsBefore = 0;
    std::int64_t countBefore = nodes_[0].known->count();
    int groupsBefore = GroupCount();
    for (;;) {
      if (const std::optional<MonodromyStop> early = CloseOverEdges()) {
        result_.stop = *early;
        break;
      }
      const int groups = GroupCount();
      const bool progress = nodes_[0].known->count() != countBefore || groups != groupsBefore;
      stale_ = progress ? 0 : stale_ + Loops() - loopsBefore;
      if (!progress) spread_ = std::min(kLargestSpread, spread_ * kSpreadGrowth);
      Report();
      if (options_.complete && options_.complete(Snapshot())) {
        result_.stop = MonodromyStop::kComplete;
        break;
      }
      if (stale_ >= stableLoops_ && !options_.targetCount) {
        result_.stop = MonodromyStop::kStable;
        break;
      }
      if (Loops() >= maxLoops_) {
        result_.stop = MonodromyStop::kLoopLimit;
        break;
      }
      loopsBefore = Loops();
      countBefore = nodes_[0].known->count();
      groupsBefore = groups;
      // A new node joined both ways to the base and to the newest node: 3 more loops.
      const int newest = static_cast<int>(nodes_.size()) - 1;
      AddNode(DrawNode());
      JoinBothWays(newest + 1, 0);
      JoinBothWays(newest + 1, newest);
    }
    MonodromyResult out = Snapshot();
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return out;
  }

 private:
  int Loops() const {
    return static_cast<int>(edges_.size()) - static_cast<int>(nodes_.size()) + 1;
  }
  bool TargetReached() const {
    return options_.targetCount && nodes_[0].known->count() >= *options_.targetCount;
  }

  std::vector<Complex> DrawNode() {
    RuntimeUniform draws = StreamOf(options_.seed, static_cast<std::int64_t>(nodes_.size()));
    const double spread = spread_ * std::pow(kSpreadRange, draws.Next());
    std::vector<Complex> p = options_.drawParameters ? options_.drawParameters(base_, spread, draws)
                                                     : DefaultDraw(base_, spread, draws);
    if (p.size() != base_.size())
      throw Error(ErrorCode::kInvalidInput, "monodromy: drawn parameters of the wrong count");
    return p;
  }

  void AddNode(std::vector<Complex> parameters) {
    Node node;
    node.target = MakeSegmentTarget(family_, parameters);
    node.known =
        std::make_unique<MonodromyPoints>(node.target->layout.system, kMonodromyConditionLimit);
    node.parameters = std::move(parameters);
    nodes_.push_back(std::move(node));
  }

  void Join(int from, int to) {
    Edge edge;
    edge.draws = StreamOf(options_.seed, kEdgeStreams + static_cast<std::int64_t>(edges_.size()));
    edge.record.from = from;
    edge.record.to = to;
    edge.record.gamma = UnitDraw(edge.draws);
    const Node& source = nodes_[static_cast<std::size_t>(from)];
    edge.record.image.assign(source.id.size(), -1);
    for (const std::uint8_t r : source.representative) edge.carried.push_back(r ? 0 : 1);
    edge.preimage.assign(nodes_[static_cast<std::size_t>(to)].id.size(), -1);
    edges_.push_back(std::move(edge));
  }
  // The loop a -> b -> a encloses the segment between the nodes. In the coordinate tau of a -> b
  // (p = p_a + tau (p_b - p_a)), the edge's arc gamma t / ((1 - t) + gamma t) runs from 0 to 1 on
  // the side of the segment where Im gamma lies; b -> a runs along 1 - (its own arc), on the side
  // opposite to its Im gamma. With Im gamma of one sign for both, the arcs lie on either side
  // and the loop goes around the branch points near the segment; with opposite signs both lie on
  // one side and the loop encloses only the crescent between them, often none at all. Drawn
  // independently, half the pairs were crescents (6R seeds 1-30: 2,515 paths to 16 roots; as
  // lenses 2,164). The reverse gamma is conjugated where needed: the draws stay as they were.
  void JoinBothWays(int a, int b) {
    Join(a, b);
    Join(b, a);
    Complex& back = edges_.back().record.gamma;
    const Complex forth = edges_[edges_.size() - 2].record.gamma;
    if (back.imag() * forth.imag() < 0.0) back = std::conj(back);
  }

  void PlaceGiven(const ColMajorMatrix<Complex>& given) {
    for (std::int64_t c = 0; c < given.cols(); ++c) {
      const std::span<const Complex> x(given.col(c), static_cast<std::size_t>(family_.n));
      if (Place(0, x) != MonodromyPoints::Verdict::kNew) result_.refused.push_back(c);
    }
    if (nodes_[0].known->count() == 0)
      throw Error(ErrorCode::kInvalidInput,
                  "monodromy: no given point is a regular root at the base parameters");
  }

  // Places x at node k; a new point gets its slots and brings its orbit under the symmetries.
  MonodromyPoints::Verdict Place(int k, std::span<const Complex> x) {
    Node& node = nodes_[static_cast<std::size_t>(k)];
    if (options_.admissible && !options_.admissible(x, node.parameters))
      return MonodromyPoints::Verdict::kNotRegular;
    const MonodromyPoints::Placement placed = node.known->Place(x);
    lastIndex_ = placed.index;
    if (placed.verdict != MonodromyPoints::Verdict::kNew) return placed.verdict;
    AddPoint(k, true);
    ExpandOrbit(k, placed.index);
    lastIndex_ = placed.index;
    return placed.verdict;
  }

  void AddPoint(int k, bool representative) {
    Node& node = nodes_[static_cast<std::size_t>(k)];
    node.representative.push_back(representative ? 1 : 0);
    node.id.push_back(sets_.Add());
    for (Edge& edge : edges_) {
      if (edge.record.from == k) {
        edge.record.image.push_back(-1);
        edge.carried.push_back(representative ? 0 : 1);
      }
      if (edge.record.to == k) edge.preimage.push_back(-1);
    }
  }

  // The images of a new point under the symmetries, as long as they give new roots. An image that
  // is no regular root means the symmetry is not one of this family: it is counted, not added.
  void ExpandOrbit(int k, std::int64_t first) {
    if (options_.symmetries.empty()) return;
    Node& node = nodes_[static_cast<std::size_t>(k)];
    std::vector<std::int64_t> queue{first};
    for (std::size_t q = 0; q < queue.size(); ++q) {
      const std::vector<Complex> x = node.known->Point(queue[q]);
      for (const PointSymmetry& g : options_.symmetries) {
        std::vector<Complex> y(x.size());
        for (std::size_t i = 0; i < x.size(); ++i)
          y[i] = g.factor[i] * x[static_cast<std::size_t>(g.source[i])];
        const MonodromyPoints::Placement placed = node.known->Place(y);
        if (placed.verdict == MonodromyPoints::Verdict::kNew) {
          AddPoint(k, false);
          queue.push_back(placed.index);
        } else if (placed.verdict == MonodromyPoints::Verdict::kNotRegular) {
          ++result_.symmetryImagesRefused;
        }
      }
    }
  }

  // Carries every point along every edge it has not gone along yet, until none is left. The next
  // batch is always the first edge with points to carry among the edges into the base, then among
  // the others: a path into the base is the only one that can add a root there, and every other
  // path only brings points to where such a path starts. (With a permutation per edge, the base is
  // full after about a quarter fewer paths on a triangle than when the edges take turns.) Returns
  // why the run stops early: the target count reached, or a `complete` asked after a batch that
  // added a point at the base returned true.
  std::optional<MonodromyStop> CloseOverEdges() {
    for (;;) {
      const std::optional<std::size_t> e = NextEdge();
      if (!e) return std::nullopt;
      const std::int64_t before = nodes_[0].known->count();
      CarryAlong(*e, Pending(*e));
      if (TargetReached()) return MonodromyStop::kTargetCount;
      if (options_.askCompleteOnGain && options_.complete && nodes_[0].known->count() > before &&
          options_.complete(Snapshot()))
        return MonodromyStop::kComplete;
    }
  }

  std::vector<std::int64_t> Pending(std::size_t e) const {
    std::vector<std::int64_t> pending;
    for (std::size_t i = 0; i < edges_[e].carried.size(); ++i)
      if (!edges_[e].carried[i]) pending.push_back(static_cast<std::int64_t>(i));
    return pending;
  }

  std::optional<std::size_t> NextEdge() const {
    std::optional<std::size_t> other;
    for (std::size_t e = 0; e < edges_.size(); ++e) {
      const auto& carried = edges_[e].carried;
      if (std::find(carried.begin(), carried.end(), std::uint8_t{0}) == carried.end()) continue;
      if (edges_[e].record.to == 0) return e;
      if (!other) other = e;
    }
    return other;
  }

  void CarryAlong(std::size_t e, const std::vector<std::int64_t>& pending) {
    const int from = edges_[e].record.from;
    const int to = edges_[e].record.to;
    ColMajorMatrix<Complex> batch(family_.n, static_cast<std::int64_t>(pending.size()));
    for (std::size_t c = 0; c < pending.size(); ++c) {
      edges_[e].carried[static_cast<std::size_t>(pending[c])] = 1;
      const std::vector<Complex> x =
          nodes_[static_cast<std::size_t>(from)].known->Point(pending[c]);
      std::copy(x.begin(), x.end(), batch.col(static_cast<std::int64_t>(c)));
    }
    result_.pathsTracked += batch.cols();
    const SegmentEnds ends =
        TrackSegment(family_, nodes_[static_cast<std::size_t>(from)].parameters,
                     *nodes_[static_cast<std::size_t>(to)].target, edges_[e].record.gamma, batch,
                     edges_[e].draws, segment_);
    for (std::size_t c = 0; c < pending.size(); ++c) {
      if (!ends.reached[c]) {
        ++result_.pathsFailed;
        continue;
      }
      const std::span<const Complex> x(ends.points.col(static_cast<std::int64_t>(c)),
                                       static_cast<std::size_t>(family_.n));
      if (Place(to, x) == MonodromyPoints::Verdict::kNotRegular) {
        ++result_.pathsFailed;
        continue;
      }
      RecordImage(edges_[e], pending[c], lastIndex_);
    }
    Report();
  }

  // An edge's map is injective: two points sent to one point mean that a path jumped. Neither
  // image is kept then (a wrong join would merge components).
  void RecordImage(Edge& edge, std::int64_t point, std::int64_t image) {
    std::int64_t& earlier = edge.preimage[static_cast<std::size_t>(image)];
    if (earlier >= 0 && earlier != point) {
      if (edge.record.image[static_cast<std::size_t>(earlier)] == image) {
        edge.record.image[static_cast<std::size_t>(earlier)] = -1;
        ++result_.pathsFailed;
        rejoinNeeded_ = true;
      }
      ++result_.pathsFailed;
      return;
    }
    earlier = point;
    edge.record.image[static_cast<std::size_t>(point)] = image;
    const Node& from = nodes_[static_cast<std::size_t>(edge.record.from)];
    const Node& to = nodes_[static_cast<std::size_t>(edge.record.to)];
    sets_.Join(from.id[static_cast<std::size_t>(point)], to.id[static_cast<std::size_t>(image)]);
  }

  // A join undone by a jump found later: the union-find is rebuilt from the images kept.
  void RebuildSets() {
    if (!rejoinNeeded_) return;
    rejoinNeeded_ = false;
    sets_ = GrowingSets();
    for (Node& node : nodes_)
      for (std::int64_t& id : node.id) id = sets_.Add();
    for (const Edge& edge : edges_) {
      const Node& from = nodes_[static_cast<std::size_t>(edge.record.from)];
      const Node& to = nodes_[static_cast<std::size_t>(edge.record.to)];
      for (std::size_t i = 0; i < edge.record.image.size(); ++i)
        if (edge.record.image[i] >= 0)
          sets_.Join(from.id[i], to.id[static_cast<std::size_t>(edge.record.image[i])]);
    }
  }

  std::vector<std::int32_t> Groups(int& groupCount) {
    RebuildSets();
    const Node& base = nodes_[0];
    std::vector<std::int32_t> group(base.id.size(), -1);
    std::vector<std::pair<std::int64_t, std::int32_t>> numbered;  // set -> group
    groupCount = 0;
    for (std::size_t i = 0; i < base.id.size(); ++i) {
      const std::int64_t set = sets_.Find(base.id[i]);
      std::int32_t g = -1;
      for (const auto& [s, number] : numbered)
        if (s == set) g = number;
      if (g < 0) {
        g = groupCount++;
        numbered.emplace_back(set, g);
      }
      group[i] = g;
    }
    return group;
  }
  int GroupCount() {
    int count = 0;
    Groups(count);
    return count;
  }

  MonodromyResult Snapshot() {
    MonodromyResult out = result_;
    out.points = nodes_[0].known->Points();
    out.group = Groups(out.groupCount);
    for (const Node& node : nodes_) {
      out.nodes.push_back(node.parameters);
      out.nodePoints.push_back(node.known->count());
    }
    for (const Edge& edge : edges_) out.edges.push_back(edge.record);
    out.loops = Loops();
    return out;
  }

  void Report() {
    if (!options_.progress) return;
    MonodromyProgress progress;
    progress.loops = Loops();
    progress.points = nodes_[0].known->count();
    progress.pathsTracked = result_.pathsTracked;
    progress.loopsWithoutProgress = stale_;
    options_.progress(progress);
  }

  const ParametricSystem& family_;
  std::vector<Complex> base_;
  const MonodromyOptions& options_;
  SegmentOptions segment_;
  int stableLoops_ = 0;
  int maxLoops_ = 0;
  int stale_ = 0;
  double spread_ = 1.0;  // of the next node's parameters
  std::vector<Node> nodes_;
  std::vector<Edge> edges_;
  GrowingSets sets_;
  bool rejoinNeeded_ = false;
  std::int64_t lastIndex_ = -1;  // the index Place gave its point
  MonodromyResult result_;
};

}  // namespace

MonodromyResult RunMonodromy(const ParametricSystem& family, std::span<const Complex> base,
                             const ColMajorMatrix<Complex>& points,
                             const MonodromyOptions& options) {
  if (points.rows() != family.n)
    throw Error(ErrorCode::kInvalidInput,
                "monodromy: the points do not have " + std::to_string(family.n) + " rows");
  if (static_cast<int>(base.size()) != family.parameterCount())
    throw Error(ErrorCode::kInvalidInput, "monodromy: the base parameters do not fit the family");
  for (const PointSymmetry& g : options.symmetries) {
    std::vector<int> sorted = g.source;
    std::sort(sorted.begin(), sorted.end());
    bool permutation = static_cast<int>(sorted.size()) == family.n &&
                       g.factor.size() == static_cast<std::size_t>(family.n);
    for (int k = 0; permutation && k < family.n; ++k) permutation = sorted[k] == k;
    if (!permutation)
      throw Error(ErrorCode::kInvalidInput,
                  "monodromy: a symmetry is not a permutation of the unknowns with a factor each");
  }
  Engine engine(family, base, options);
  return engine.Run(points);
}

}  // namespace zormix
