// The homogeneous self-dual method. Unknowns: x (n), xu and zu (bounded columns), z (columns
// with a bound), y (m), tau and kappa; residuals
//   rp = b tau - A x,  ru = u tau - x - xu,  rd = c tau - A'y - z + zu,
//   rg = kappa + c'x - b'y + u'zu.
// The Newton system is reduced to the normal equations A D A' with
// D^-1 = z/x + zu/xu (a proximal weight for free columns) and solved for the residual part
// and for the homogeneous column (b, c) once per factorisation; dtau then comes from the
// scalar gap equation and the rest by back substitution.
#include "barrier/homogeneous/hsd_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "barrier/cholesky/kkt_factor.h"
#include "barrier/homogeneous/dependent_rows.h"

namespace kqopt::barrier {

const char* solver_status_word(std::int32_t code) {
  switch (code) {
    case 0:
      return "NORMAL";
    case 1:
      return "OUT OF SPACE";
    case 2:
      return "OUT OF REAL WORKSPACE";
    case 3:
      return "OUT OF INTEGER WORK SPACE";
    case 4:
      return "MAX ITERATIONS";
    case 5:
      return "MAX TIME";
    case 6:
      return "USER BREAK";
    case 7:
      return "STALLED";
    case 8:
      return "NUMERICAL INSTABILITY";
    case 9:
      return "FACTOR ERROR";
    case 10:
    case 15:
      return "FUNCTION EVALUATION ERROR";
    case 11:
      return "ERROR";
    default:
      return "UNKNOWN ERROR";
  }
}

const char* problem_status_word(std::int32_t code) {
  static const char* const words[] = {"UNKNOWN", "PFEAS",   "DFEAS",   "PDFEAS",
                                      "INFEAS",  "PINFEAS", "DINFEAS", "PDINFEAS"};
  return code >= 0 && code < 8 ? words[code] : "USTATUS";
}

namespace {

inline std::size_t u(std::int64_t i) { return static_cast<std::size_t>(i); }

constexpr double kStepFactor = 0.9999;
// Iterations without a better point before a run that is within the fast-termination
// margins goes to the crossover: on qap15 and pilot.ja the third never brought one and cost
// a factorisation; one alone is not enough (on pilot the point it keeps is a worse start).
constexpr std::int32_t kNoProgressLimit = 2;
// Cancelled pivots in the factorisation at a new best point within the fast-termination
// margins (at least this many, and at least one row in kDroppedShare), with a predictor
// that cannot take a nearly full step, end the run there: on qap12 and qap15 the steps
// from such a factor raised the primal infeasibility twentyfold and more, and the run came
// back to this point after two more factorisations. With a nearly full predictor step
// (degen2) the factor is still good enough to finish.
constexpr std::int32_t kDroppedAtEnd = 50;
constexpr std::int32_t kDroppedShare = 100;
constexpr double kTrialFractions[] = {1.0, 0.9999, 0.999, 0.99, 0.9, 0.8, 0.7, 0.5, 0.3, 0.1};

struct Direction {
  std::vector<double> dx, dxu, dy, dz, dzu;
  double dtau = 0.0, dkappa = 0.0;
  void resize(std::int32_t m, std::int32_t n) {
    dx.assign(u(n), 0.0);
    dxu.assign(u(n), 0.0);
    dz.assign(u(n), 0.0);
    dzu.assign(u(n), 0.0);
    dy.assign(u(m), 0.0);
  }
};

// Right-hand sides of one Newton solve.
struct NewtonRhs {
  std::vector<double> rp, ru, rd, rxz, rxzu;
  double rg = 0.0, rtk = 0.0;
  void resize(std::int32_t m, std::int32_t n) {
    rp.assign(u(m), 0.0);
    ru.assign(u(n), 0.0);
    rd.assign(u(n), 0.0);
    rxz.assign(u(n), 0.0);
    rxzu.assign(u(n), 0.0);
  }
};

struct Iterate {
  std::vector<double> x, xu, y, z, zu;
  double tau = 1.0, kappa = 1.0;
};

class Hsd {
 public:
  Hsd(const BarrierLp& lp, const HsdSettings& s, std::unique_ptr<KktFactor> kkt)
      : lp_(lp), s_(s), m_(lp.m), n_(lp.n), kkt_(std::move(kkt)) {}

  HsdResult run(const HsdCallback& callback);

 private:
  bool has_z(std::int32_t j) const { return lp_.kind[u(j)] != ColumnKind::free; }
  bool bounded(std::int32_t j) const { return lp_.kind[u(j)] == ColumnKind::bounded; }

  void start_point();
  void measure();
  bool factorise();
  void prepare_homogeneous_column();
  void solve_newton(const NewtonRhs& r, Direction& d);
  void step_lengths(const Direction& d, double& ap, double& ad) const;
  void trial(const Direction& d, double ap, double ad, double& min_product, double& mu) const;
  void apply(const Direction& d, double ap, double ad, double fp, double fd);
  void finish(HsdResult& r);
  double factor_operations() const;
  double solve_operations() const;

  void times_a(const std::vector<double>& x, std::vector<double>& y) const {  // y = A x
    std::fill(y.begin(), y.end(), 0.0);
    for (std::int32_t j = 0; j < n_; ++j) {
      const double xj = x[u(j)];
      if (xj == 0.0) continue;
      for (std::int64_t k = lp_.start[u(j)]; k < lp_.start[u(j) + 1]; ++k) y[u(lp_.row[u(k)])] += lp_.value[u(k)] * xj;
    }
  }
  double column_dot(std::int32_t j, const std::vector<double>& y) const {
    double s = 0.0;
    for (std::int64_t k = lp_.start[u(j)]; k < lp_.start[u(j) + 1]; ++k) s += lp_.value[u(k)] * y[u(lp_.row[u(k)])];
    return s;
  }

  const BarrierLp& lp_;
  HsdSettings s_;
  std::int32_t m_, n_;
  std::unique_ptr<KktFactor> kkt_;
  std::int32_t nfree_ = 0, nbnd_ = 0, nup_ = 0;
  double big_n_ = 1.0;
  double bnorm_ = 1.0, cnorm_ = 1.0;

  Iterate it_;
  // Measures of the current iterate.
  std::vector<double> rp_, ru_, rd_;
  double rg_ = 0.0, mu_ = 0.0, mu0_ = 0.0, centrality_ = 0.0, comp_sum_ = 0.0;
  double rp_norm_ = 0.0, rd_norm_ = 0.0, rp0_ = 1.0, rd0_ = 1.0;
  double pfeas_ = 0.0, dfeas_ = 0.0, rgfeas_ = 0.0, pobj_ = 0.0, dobj_ = 0.0, relgap_ = 0.0;
  double ctx_ = 0.0, bty_ = 0.0;  // c'x and b'y - u'zu
  double rho_ = 1.0;
  std::vector<double> dinv_, d_, chat_, e_, q_, dxq_, r1_, tm_, tn_, p_;
  double denom_ = 0.0;
};

void Hsd::start_point() {
  it_.x.assign(u(n_), 0.0);
  it_.xu.assign(u(n_), 0.0);
  it_.z.assign(u(n_), 0.0);
  it_.zu.assign(u(n_), 0.0);
  it_.y.assign(u(m_), 0.0);
  double primal = 1.0, dual = 1.0;
  if (s_.scaling_class == 1 && nbnd_ > 0) {
    double smallest = std::numeric_limits<double>::infinity(), sum = 0.0;
    for (std::int32_t j = 0; j < n_; ++j) {
      if (!has_z(j)) continue;
      smallest = std::min(smallest, lp_.c[u(j)]);
      sum += std::fabs(lp_.c[u(j)]);
    }
    if (smallest >= -1.0) dual = std::max(1.0, std::min(100.0, std::max(dual, sum / nbnd_)));
  }
  if (s_.scaling_class == 2 || s_.scaling_class == 4) primal *= 100.0;
  if (s_.scaling_class == 3 || s_.scaling_class == 4) dual *= 100.0;
  for (std::int32_t j = 0; j < n_; ++j) {
    if (!has_z(j)) continue;
    it_.x[u(j)] = primal;
    it_.z[u(j)] = dual;
    if (bounded(j)) {
      // Start inside the box when it is narrow.
      const double half = 0.5 * lp_.u[u(j)];
      it_.x[u(j)] = std::min(primal, std::max(half, 1.0e-2 * primal));
      it_.xu[u(j)] = std::max(lp_.u[u(j)] - it_.x[u(j)], it_.x[u(j)]);
      it_.zu[u(j)] = dual;
    }
  }
  it_.tau = 1.0;
  it_.kappa = 1.0;
  rho_ = 1.0;
}

void Hsd::measure() {
  const Iterate& v = it_;
  // rp = b tau - A x
  times_a(v.x, rp_);
  for (std::int32_t i = 0; i < m_; ++i) rp_[u(i)] = lp_.b[u(i)] * v.tau - rp_[u(i)];
  double ctx = 0.0, bty = 0.0, uzu = 0.0;
  double sum = v.tau * v.kappa, smallest = v.tau * v.kappa;
  double rp2 = 0.0, rpinf = 0.0, rd2 = 0.0, rdinf = 0.0;
  for (std::int32_t i = 0; i < m_; ++i) {
    bty += lp_.b[u(i)] * v.y[u(i)];
    rp2 += rp_[u(i)] * rp_[u(i)];
    rpinf = std::max(rpinf, std::fabs(rp_[u(i)]));
  }
  for (std::int32_t j = 0; j < n_; ++j) {
    ctx += lp_.c[u(j)] * v.x[u(j)];
    double r = lp_.c[u(j)] * v.tau - column_dot(j, v.y) - v.z[u(j)];
    if (has_z(j)) {
      const double p = v.x[u(j)] * v.z[u(j)];
      sum += p;
      smallest = std::min(smallest, p);
    }
    if (bounded(j)) {
      r += v.zu[u(j)];
      const double ru = lp_.u[u(j)] * v.tau - v.x[u(j)] - v.xu[u(j)];
      ru_[u(j)] = ru;
      rp2 += ru * ru;
      rpinf = std::max(rpinf, std::fabs(ru));
      uzu += lp_.u[u(j)] * v.zu[u(j)];
      const double p = v.xu[u(j)] * v.zu[u(j)];
      sum += p;
      smallest = std::min(smallest, p);
    }
    rd_[u(j)] = r;
    rd2 += r * r;
    rdinf = std::max(rdinf, std::fabs(r));
  }
  ctx_ = ctx;
  bty_ = bty - uzu;
  rg_ = v.kappa + ctx - bty + uzu;
  comp_sum_ = sum;
  mu_ = sum / big_n_;
  centrality_ = mu_ > 0.0 ? smallest / mu_ : 0.0;
  rp_norm_ = std::sqrt(rp2);
  rd_norm_ = std::sqrt(rd2);
  pfeas_ = rpinf / v.tau / bnorm_;
  dfeas_ = rdinf / v.tau / cnorm_;
  rgfeas_ = std::fabs(rg_) / v.tau;
  pobj_ = ctx / v.tau + lp_.constant;
  dobj_ = bty_ / v.tau + lp_.constant;
  relgap_ = std::fabs(pobj_ - dobj_) / (std::fabs(dobj_) + 1.0);
}

bool Hsd::factorise() {
  const Iterate& v = it_;
  for (std::int32_t j = 0; j < n_; ++j) {
    double w;
    if (has_z(j)) {
      w = v.z[u(j)] / v.x[u(j)];
      if (bounded(j)) w += v.zu[u(j)] / v.xu[u(j)];
    } else {
      // Proximal weight of a free column, fading with mu.
      w = rho_ * (v.tau / std::max(1, nfree_)) / (v.x[u(j)] * v.x[u(j)] + v.tau);
    }
    w = std::max(w, 1.0e-12);
    dinv_[u(j)] = w;
    d_[u(j)] = 1.0 / w;
  }
  return kkt_->numfac(d_) == kKktOk;
}

void Hsd::prepare_homogeneous_column() {
  // chat = c - (zu/xu) u on the column side; e = c + (zu/xu) u on the gap side.
  double g = it_.kappa / it_.tau;
  for (std::int32_t j = 0; j < n_; ++j) {
    chat_[u(j)] = lp_.c[u(j)];
    e_[u(j)] = lp_.c[u(j)];
    if (bounded(j)) {
      const double t = it_.zu[u(j)] / it_.xu[u(j)] * lp_.u[u(j)];
      chat_[u(j)] -= t;
      e_[u(j)] += t;
      g += t * lp_.u[u(j)];
    }
    tn_[u(j)] = d_[u(j)] * chat_[u(j)];
  }
  times_a(tn_, tm_);
  for (std::int32_t i = 0; i < m_; ++i) tm_[u(i)] += lp_.b[u(i)];
  kkt_->solve(tm_, q_);
  double bq = 0.0, edq = 0.0;
  for (std::int32_t i = 0; i < m_; ++i) bq += lp_.b[u(i)] * q_[u(i)];
  for (std::int32_t j = 0; j < n_; ++j) {
    dxq_[u(j)] = d_[u(j)] * (column_dot(j, q_) - chat_[u(j)]);
    edq += e_[u(j)] * dxq_[u(j)];
  }
  denom_ = bq - edq + g;
}

void Hsd::solve_newton(const NewtonRhs& r, Direction& d) {
  const Iterate& v = it_;
  double h = 0.0;
  for (std::int32_t j = 0; j < n_; ++j) {
    double r1 = r.rd[u(j)];
    if (has_z(j)) r1 -= r.rxz[u(j)] / v.x[u(j)];
    if (bounded(j)) {
      const double t = (r.rxzu[u(j)] - v.zu[u(j)] * r.ru[u(j)]) / v.xu[u(j)];
      r1 += t;
      h += lp_.u[u(j)] * t;
    }
    r1_[u(j)] = r1;
    tn_[u(j)] = d_[u(j)] * r1;
  }
  times_a(tn_, tm_);
  for (std::int32_t i = 0; i < m_; ++i) tm_[u(i)] += r.rp[u(i)];
  kkt_->solve(tm_, p_);
  double bp = 0.0, edp = 0.0;
  for (std::int32_t i = 0; i < m_; ++i) bp += lp_.b[u(i)] * p_[u(i)];
  for (std::int32_t j = 0; j < n_; ++j) {
    d.dx[u(j)] = d_[u(j)] * (column_dot(j, p_) - r1_[u(j)]);
    edp += e_[u(j)] * d.dx[u(j)];
  }
  const double num = r.rg + h + r.rtk / v.tau - bp + edp;
  d.dtau = denom_ > 1.0e-14 ? num / denom_ : 0.0;
  for (std::int32_t i = 0; i < m_; ++i) d.dy[u(i)] = p_[u(i)] + q_[u(i)] * d.dtau;
  for (std::int32_t j = 0; j < n_; ++j) {
    const double dx = d.dx[u(j)] + dxq_[u(j)] * d.dtau;
    d.dx[u(j)] = dx;
    d.dz[u(j)] = has_z(j) ? (r.rxz[u(j)] - v.z[u(j)] * dx) / v.x[u(j)] : 0.0;
    if (bounded(j)) {
      const double dxu = r.ru[u(j)] - dx + lp_.u[u(j)] * d.dtau;
      d.dxu[u(j)] = dxu;
      d.dzu[u(j)] = (r.rxzu[u(j)] - v.zu[u(j)] * dxu) / v.xu[u(j)];
    }
  }
  d.dkappa = (r.rtk - v.kappa * d.dtau) / v.tau;
}

void Hsd::step_lengths(const Direction& d, double& ap, double& ad) const {
  const Iterate& v = it_;
  ap = 1.0e300;
  ad = 1.0e300;
  for (std::int32_t j = 0; j < n_; ++j) {
    if (!has_z(j)) continue;
    if (d.dx[u(j)] < 0.0) ap = std::min(ap, -v.x[u(j)] / d.dx[u(j)]);
    if (d.dz[u(j)] < 0.0) ad = std::min(ad, -v.z[u(j)] / d.dz[u(j)]);
    if (bounded(j)) {
      if (d.dxu[u(j)] < 0.0) ap = std::min(ap, -v.xu[u(j)] / d.dxu[u(j)]);
      if (d.dzu[u(j)] < 0.0) ad = std::min(ad, -v.zu[u(j)] / d.dzu[u(j)]);
    }
  }
  // tau and kappa stay nonnegative on both sides.
  double common = 1.0e300;
  if (d.dtau < 0.0) common = std::min(common, -v.tau / d.dtau);
  if (d.dkappa < 0.0) common = std::min(common, -v.kappa / d.dkappa);
  ap = std::min(ap, common);
  ad = std::min(ad, common);
}

void Hsd::trial(const Direction& d, double ap, double ad, double& min_product, double& mu) const {
  const Iterate& v = it_;
  double sum = (v.tau + ap * d.dtau) * (v.kappa + ad * d.dkappa);
  double smallest = sum;
  for (std::int32_t j = 0; j < n_; ++j) {
    if (!has_z(j)) continue;
    double p = (v.x[u(j)] + ap * d.dx[u(j)]) * (v.z[u(j)] + ad * d.dz[u(j)]);
    sum += p;
    smallest = std::min(smallest, p);
    if (bounded(j)) {
      p = (v.xu[u(j)] + ap * d.dxu[u(j)]) * (v.zu[u(j)] + ad * d.dzu[u(j)]);
      sum += p;
      smallest = std::min(smallest, p);
    }
  }
  min_product = smallest;
  mu = sum / big_n_;
}

void Hsd::apply(const Direction& d, double ap, double ad, double fp, double fd) {
  Iterate& v = it_;
  for (std::int32_t j = 0; j < n_; ++j) {
    v.x[u(j)] = fp * (v.x[u(j)] + ap * d.dx[u(j)]);
    v.z[u(j)] = fd * (v.z[u(j)] + ad * d.dz[u(j)]);
    if (bounded(j)) {
      v.xu[u(j)] = fp * (v.xu[u(j)] + ap * d.dxu[u(j)]);
      v.zu[u(j)] = fd * (v.zu[u(j)] + ad * d.dzu[u(j)]);
    }
  }
  for (std::int32_t i = 0; i < m_; ++i) v.y[u(i)] = fd * (v.y[u(i)] + ad * d.dy[u(i)]);
  v.tau = fp * (v.tau + ap * d.dtau);
  v.kappa = fd * (v.kappa + ad * d.dkappa);
}

// Floating-point operations of one factorisation of the normal equations.
double Hsd::factor_operations() const {
  const SparseCholesky* chol = kkt_->cholesky();
  return chol != nullptr ? chol->symbolic().flops : 0.0;
}

// Operations of one Newton solve, weighted by the slower rate of the solves: the
// factorisation runs dense blocked kernels, the triangular solves and the products with
// A stream their data once per use.
double Hsd::solve_operations() const {
  constexpr double kStreamingWeight = 8.0;
  const SparseCholesky* chol = kkt_->cholesky();
  const double l = chol != nullptr ? static_cast<double>(chol->symbolic().nnz_l) : 0.0;
  const double a = static_cast<double>(lp_.start[u(n_)]);
  return kStreamingWeight * (4.0 * l + 4.0 * a + 20.0 * static_cast<double>(m_ + n_)) +
         4.0 * static_cast<double>(kkt_->stats().dense_columns) * static_cast<double>(m_);
}

std::int32_t corrections_for_ratio(double q, std::int32_t limit) {
  std::int32_t k = 10;
  if (q > 0.5) {
    k = 0;
  } else if (q > 0.4) {
    k = 1;
  } else if (q > 0.3) {
    k = 2;
  } else if (q > 0.2) {
    k = 3;
  } else if (q > 0.1) {
    k = 5;
  } else if (q > 0.05) {
    k = 7;
  }
  return std::min(k, limit);
}

void Hsd::finish(HsdResult& r) {
  const Iterate& v = it_;
  const double t = v.tau > 0.0 ? v.tau : 1.0;
  // An infeasibility certificate is returned as the ray (not divided by a vanishing tau).
  const bool ray = r.problem_status >= ProblemStatus::infeas;
  const double scale = ray ? 1.0 : 1.0 / t;
  r.x.assign(u(n_), 0.0);
  r.z.assign(u(n_), 0.0);
  r.y.assign(u(m_), 0.0);
  for (std::int32_t j = 0; j < n_; ++j) {
    r.x[u(j)] = v.x[u(j)] * scale;
    r.z[u(j)] = (v.z[u(j)] - v.zu[u(j)]) * scale;
  }
  for (std::int32_t i = 0; i < m_; ++i) r.y[u(i)] = v.y[u(i)] * scale;
  r.primal_objective = pobj_;
  r.dual_objective = dobj_;
  r.relative_gap = relgap_;
  r.primal_infeasibility = pfeas_;
  r.dual_infeasibility = dfeas_;
  r.complementarity = comp_sum_ / (t * t);
}

HsdResult Hsd::run(const HsdCallback& callback) {
  HsdResult result;
  for (std::int32_t j = 0; j < n_; ++j) {
    if (!has_z(j)) ++nfree_;
    if (bounded(j)) ++nup_;
  }
  nbnd_ = n_ - nfree_;
  big_n_ = static_cast<double>(nbnd_ + nup_ + 1);
  double bmax = 0.0, cmax = 0.0;
  for (const double v : lp_.b) bmax = std::max(bmax, std::fabs(v));
  for (const double v : lp_.u) bmax = std::max(bmax, std::fabs(v));
  for (const double v : lp_.c) cmax = std::max(cmax, std::fabs(v));
  bnorm_ = 1.0 + bmax;
  cnorm_ = 1.0 + cmax;

  result.nnz_aat = kkt_->stats().nnz_aat;
  result.nnz_l = kkt_->stats().nnz_l;
  result.dense_columns = kkt_->stats().dense_columns;

  rp_.assign(u(m_), 0.0);
  ru_.assign(u(n_), 0.0);
  rd_.assign(u(n_), 0.0);
  for (auto* v : {&dinv_, &d_, &chat_, &e_, &dxq_, &r1_, &tn_}) v->assign(u(n_), 0.0);
  for (auto* v : {&q_, &tm_, &p_}) v->assign(u(m_), 0.0);
  Direction pred, corr, extra;
  pred.resize(m_, n_);
  corr.resize(m_, n_);
  extra.resize(m_, n_);
  NewtonRhs rhs;
  rhs.resize(m_, n_);

  start_point();
  measure();
  mu0_ = mu_;
  rp0_ = rp_norm_;
  rd0_ = rd_norm_;

  Iterate best = it_;
  double best_score = 1.0e300;
  bool fast_flag = false;
  std::int32_t max_corrections = -1;
  bool restore = false;
  bool settled = false;  // ended at its best point without further progress
  bool best_near_optimal = false;
  std::int32_t since_best = 0;
  bool stalled = false;

  for (;;) {
    measure();
    HsdProgress progress;
    progress.iteration = result.iterations;
    progress.primal_infeasibility = pfeas_;
    progress.dual_infeasibility = dfeas_;
    progress.kappa_over_tau = it_.kappa / it_.tau;
    progress.primal_objective = pobj_;
    progress.dual_objective = dobj_;
    progress.complementarity = relgap_;
    progress.nnz_aat = result.nnz_aat;
    progress.nnz_l = result.nnz_l;
    progress.dense_columns = result.dense_columns;
    if (callback && !callback(progress)) {
      result.solver_status = SolverStatus::user_break;
      break;
    }
    // Infeasibility: tau vanishes against kappa.
    if ((mu_ <= 1.0e-8 * mu0_ && it_.tau <= 1.0e-10 * std::min(1.0, it_.kappa)) ||
        (pfeas_ <= s_.primal_tolerance && dfeas_ <= s_.dual_tolerance &&
         it_.tau <= 1.0e-10 * std::max(1.0, it_.kappa) && 100.0 * it_.tau < it_.kappa && rgfeas_ < 1.0e-10)) {
      const bool dual_inf = ctx_<0.0, primal_inf = bty_> 0.0;
      result.problem_status = primal_inf && dual_inf ? ProblemStatus::pdinfeas
                              : primal_inf           ? ProblemStatus::pinfeas
                              : dual_inf             ? ProblemStatus::dinfeas
                                                     : ProblemStatus::infeas;
      break;
    }
    const bool feasible = pfeas_ <= s_.primal_tolerance && dfeas_ <= s_.dual_tolerance;
    const double gap_needed = s_.crossover ? s_.gap_tolerance / 100.0 : s_.gap_tolerance;
    if (feasible && 1000.0 * it_.kappa <= it_.tau && (relgap_ <= gap_needed || comp_sum_ <= 1.0e-20)) {
      result.problem_status = ProblemStatus::pdfeas;
      break;
    }
    if ((fast_flag && relgap_ <= 100.0 * s_.gap_tolerance && it_.tau >= 1000.0 * it_.kappa) || comp_sum_ <= 1.0e-20) {
      result.problem_status = ProblemStatus::pdfeas;
      break;
    }
    // The best iterate so far, kept for a return after a stall.
    const double score = std::max({pfeas_, dfeas_, relgap_});
    if (score < best_score) {
      best_score = score;
      best = it_;
      since_best = 0;
      best_near_optimal = pfeas_ <= 100.0 * s_.primal_tolerance && dfeas_ <= 100.0 * s_.dual_tolerance &&
                          relgap_ <= 100.0 * s_.gap_tolerance && it_.tau >= 1000.0 * it_.kappa;
    } else {
      ++since_best;
    }
    // Near the end of a degenerate problem the normal equations lose rows to cancelled
    // pivots and the directions lose the accuracy to go further: once a point within the
    // fast-termination margins has not been bettered for a few iterations, it goes to the
    // crossover as it stands.
    if (s_.crossover && best_near_optimal && since_best >= kNoProgressLimit) {
      restore = true;
      settled = true;
      break;
    }
    if (result.iterations >= s_.iteration_limit) {
      result.solver_status = SolverStatus::max_iterations;
      break;
    }
    rho_ = std::min(rho_, std::sqrt(mu_ / mu0_));

    if (!factorise()) {
      result.solver_status = SolverStatus::factor_error;
      break;
    }
    prepare_homogeneous_column();
    const double step_factor = centrality_ <= 1.0e-5 ? kStepFactor * 0.999 : kStepFactor;

    // Predictor.
    for (std::int32_t i = 0; i < m_; ++i) rhs.rp[u(i)] = rp_[u(i)];
    for (std::int32_t j = 0; j < n_; ++j) {
      rhs.ru[u(j)] = ru_[u(j)];
      rhs.rd[u(j)] = rd_[u(j)];
      rhs.rxz[u(j)] = has_z(j) ? -it_.x[u(j)] * it_.z[u(j)] : 0.0;
      rhs.rxzu[u(j)] = bounded(j) ? -it_.xu[u(j)] * it_.zu[u(j)] : 0.0;
    }
    rhs.rg = rg_;
    rhs.rtk = -it_.tau * it_.kappa;
    solve_newton(rhs, pred);
    if (max_corrections < 0) {
      // A correction costs a solve; it pays when solves are cheap against a factorisation.
      // The costs are measured in operations rather than in seconds: a choice from timings
      // changes with the load of the machine, and the path of the iterates with it.
      const double solve_cost = solve_operations();
      const double q = solve_cost / (factor_operations() + solve_cost);
      max_corrections = corrections_for_ratio(q, s_.corrector_limit);
      result.max_corrections = max_corrections;
    }
    double aap, aad;
    step_lengths(pred, aap, aad);
    const double r = 1.0 - std::min({1.0, aap, aad});
    if (s_.crossover && since_best == 0 && best_near_optimal && r > 0.1 && kkt_->cholesky() != nullptr &&
        kkt_->cholesky()->dropped() >= std::max(kDroppedAtEnd, m_ / kDroppedShare)) {
      settled = true;
      restore = true;
      break;
    }
    if (s_.crossover && it_.tau >= it_.kappa) {
      fast_flag = r <= 0.1 && r * rp_norm_ <= std::max(1.0, rp0_) * 100.0 * s_.primal_tolerance &&
                  r * rd_norm_ <= std::max(1.0, rd0_) * 100.0 * s_.dual_tolerance;
    }
    const double gamma = std::max(1.0e-10, std::min(r, 0.1) * r * r);
    const double eta = 1.0 - gamma;

    // Corrector.
    const double target = gamma * mu_;
    for (std::int32_t i = 0; i < m_; ++i) rhs.rp[u(i)] = eta * rp_[u(i)];
    for (std::int32_t j = 0; j < n_; ++j) {
      rhs.ru[u(j)] = eta * ru_[u(j)];
      rhs.rd[u(j)] = eta * rd_[u(j)];
      rhs.rxz[u(j)] = has_z(j) ? target - it_.x[u(j)] * it_.z[u(j)] - pred.dx[u(j)] * pred.dz[u(j)] : 0.0;
      rhs.rxzu[u(j)] = bounded(j) ? target - it_.xu[u(j)] * it_.zu[u(j)] - pred.dxu[u(j)] * pred.dzu[u(j)] : 0.0;
    }
    rhs.rg = eta * rg_;
    rhs.rtk = target - it_.tau * it_.kappa - pred.dtau * pred.dkappa;
    solve_newton(rhs, corr);
    double ap, ad;
    step_lengths(corr, ap, ad);

    // Extra centrality corrections: aim the products of a longer step into a band
    // around the target and keep the correction when it lengthens the step.
    for (std::int32_t k = 0; k < max_corrections && std::min(ap, ad) < 1.0; ++k) {
      const double alpha = std::min(ap, ad);
      const double at = std::min(1.0, 1.5 * alpha + 0.1);
      const double lo = 0.1 * target, hi = 10.0 * target;
      auto shape = [&](double p) {
        double t = 0.0;
        if (p < lo) {
          t = lo - p;
        } else if (p > hi) {
          t = std::max(hi - p, -hi);
        }
        return t;
      };
      std::fill(rhs.rp.begin(), rhs.rp.end(), 0.0);
      for (std::int32_t j = 0; j < n_; ++j) {
        rhs.ru[u(j)] = 0.0;
        rhs.rd[u(j)] = 0.0;
        rhs.rxz[u(j)] = has_z(j) ? shape((it_.x[u(j)] + at * corr.dx[u(j)]) * (it_.z[u(j)] + at * corr.dz[u(j)])) : 0.0;
        rhs.rxzu[u(j)] =
            bounded(j) ? shape((it_.xu[u(j)] + at * corr.dxu[u(j)]) * (it_.zu[u(j)] + at * corr.dzu[u(j)])) : 0.0;
      }
      rhs.rg = 0.0;
      rhs.rtk = shape((it_.tau + at * corr.dtau) * (it_.kappa + at * corr.dkappa));
      solve_newton(rhs, extra);
      for (std::int32_t j = 0; j < n_; ++j) {
        extra.dx[u(j)] += corr.dx[u(j)];
        extra.dz[u(j)] += corr.dz[u(j)];
        extra.dxu[u(j)] += corr.dxu[u(j)];
        extra.dzu[u(j)] += corr.dzu[u(j)];
      }
      for (std::int32_t i = 0; i < m_; ++i) extra.dy[u(i)] += corr.dy[u(i)];
      extra.dtau += corr.dtau;
      extra.dkappa += corr.dkappa;
      double ep, ed;
      step_lengths(extra, ep, ed);
      if (std::min(ep, ed) < 1.01 * alpha) break;
      std::swap(corr, extra);
      ap = ep;
      ad = ed;
      ++result.corrections;
    }

    // Step choice: separate primal and dual steps while kappa is small against tau and
    // the point is not yet nearly optimal, with tau kept common by scaling one side.
    ap = std::min(1.0, ap * step_factor);
    ad = std::min(1.0, ad * step_factor);
    const double alphas = std::min(ap, ad);
    const bool nearly_optimal = feasible && it_.tau >= 1000.0 * it_.kappa && rp_norm_ <= 1.0e-6 && rd_norm_ <= 1.0e-6;
    const bool kappa_small = it_.tau >= 1000.0 * it_.kappa || (it_.tau >= 10.0 * it_.kappa && relgap_ <= 0.01);
    bool separate = false;
    if (!nearly_optimal && kappa_small) {
      const double tp = it_.tau + ap * corr.dtau, td = it_.tau + ad * corr.dtau;
      separate = tp > 0.0 && td > 0.0 && 0.9 * tp <= td && td <= 1.1 * tp;
    }
    const double step_p = separate ? ap : alphas;
    const double step_d = separate ? ad : alphas;

    // Line search in the neighbourhood of the central path.
    const double threshold = std::min(std::max(1.0e-8, centrality_ / 100.0), 1.0e-4);
    double fraction = 0.0;
    bool accepted = false;
    for (const double f : kTrialFractions) {
      double smallest, mu;
      ++result.trial_points;
      trial(corr, f * step_p, f * step_d, smallest, mu);
      if (smallest >= threshold * mu) {
        fraction = f;
        accepted = true;
        break;
      }
    }
    if (!accepted) {
      fraction = 0.01;
      while (fraction * std::max(step_p, step_d) >= s_.min_step) {
        double smallest, mu;
        ++result.trial_points;
        trial(corr, fraction * step_p, fraction * step_d, smallest, mu);
        if (smallest >= threshold * mu) {
          accepted = true;
          break;
        }
        fraction /= 10.0;
      }
    }
    const double taken = fraction * std::max(step_p, step_d);
    if (!accepted || taken < s_.min_step) {
      stalled = true;
      restore = true;
      break;
    }
    double fp = 1.0, fd = 1.0;
    if (separate) {
      const double tp = it_.tau + fraction * step_p * corr.dtau, td = it_.tau + fraction * step_d * corr.dtau;
      if (tp >= td) {
        fd = tp / td;
      } else {
        fp = td / tp;
      }
    }
    apply(corr, fraction * step_p, fraction * step_d, fp, fd);
    ++result.iterations;
  }

  if (restore) {
    it_ = best;
    measure();
    HsdProgress progress;
    progress.iteration = result.iterations;
    progress.primal_infeasibility = pfeas_;
    progress.dual_infeasibility = dfeas_;
    progress.kappa_over_tau = it_.kappa / it_.tau;
    progress.primal_objective = pobj_;
    progress.dual_objective = dobj_;
    progress.complementarity = relgap_;
    if (callback && !callback(progress)) {
      result.solver_status = SolverStatus::user_break;
    } else if (settled) {
      result.problem_status = ProblemStatus::pdfeas;
    } else if (stalled) {
      result.solver_status = SolverStatus::stalled;
      const bool good = (relgap_ <= s_.gap_tolerance || comp_sum_ <= 1.0e-20) &&
                        rp_norm_ <= std::max(1.0, rp0_) * s_.primal_tolerance &&
                        rd_norm_ <= std::max(1.0, rd0_) * s_.dual_tolerance;
      if (good) result.solver_status = SolverStatus::normal;
    }
  }
  finish(result);
  return result;
}

}  // namespace

namespace {

// The normal-equations factor of lp, set up; nothing when the set-up failed.
std::unique_ptr<KktFactor> factor_for(const BarrierLp& lp, const HsdSettings& s) {
  std::unique_ptr<KktFactor> kkt = KktFactor::create(lp.m, lp.n, 0);
  if (kkt == nullptr) throw std::bad_alloc();
  kkt->set_ordering(s.ordering);
  kkt->set_push(s.push);
  kkt->set_dense_threshold(s.dense_threshold);
  kkt->set_cache_size(s.cache_kilobytes);
  kkt->set_pivot_tolerance(s.pivot_tolerance);
  kkt->set_fill_threshold(s.fill_threshold);
  const ColumnMatrixView view{PatternView{lp.m, lp.n, lp.start, lp.row}, lp.value};
  const std::int32_t setup = kkt->autosetup(view);
  if (setup == kKktOutOfMemory) throw std::bad_alloc();
  if (setup != kKktOk) return nullptr;
  return kkt;
}

}  // namespace

HsdResult hsd_solve(const BarrierLp& lp, const HsdSettings& settings, const HsdCallback& callback) {
  std::unique_ptr<KktFactor> kkt = factor_for(lp, settings);
  if (kkt == nullptr) {
    HsdResult r;
    r.solver_status = SolverStatus::factor_error;
    return r;
  }
  const std::vector<std::int32_t> dependent = dependent_rows(*kkt, lp);
  if (dependent.empty()) {
    Hsd solver(lp, settings, std::move(kkt));
    return solver.run(callback);
  }
  // The unit-weight factor that found the rows also solves the system of the rows kept.
  double residual = removed_row_residual(*kkt, lp, dependent);
  const BarrierLp reduced = without_rows(lp, dependent);
  kkt = factor_for(reduced, settings);
  if (kkt == nullptr) {
    HsdResult r;
    r.solver_status = SolverStatus::factor_error;
    return r;
  }
  double b_norm = 0.0;
  for (const double v : lp.b) b_norm = std::max(b_norm, std::fabs(v));
  if (residual < 0.0) residual = removed_row_residual(*kkt, lp, reduced, dependent);
  HsdResult result;
  if (residual > std::min(1.0e-3, std::max(1.0e-12 * b_norm, 1.0e-7 * (1.0 + b_norm)))) {
    // The rows found are not all dependent (a badly scaled matrix gives small pivots
    // to rows that are not), or the problem is infeasible: the method sees every row
    // and decides from tau and kappa.
    kkt = factor_for(lp, settings);
    if (kkt == nullptr) {
      result.solver_status = SolverStatus::factor_error;
      return result;
    }
    Hsd solver(lp, settings, std::move(kkt));
    result = solver.run(callback);
    // Stalled with every row in: the disagreement of the rows stands as the verdict.
    if (result.solver_status == SolverStatus::stalled && result.problem_status == ProblemStatus::unknown) {
      result.problem_status = ProblemStatus::pinfeas;
      result.solver_status = SolverStatus::normal;
    }
    return result;
  }
  Hsd solver(reduced, settings, std::move(kkt));
  result = solver.run(callback);
  result.dependent_rows = static_cast<std::int32_t>(dependent.size());
  result.removed_rows = dependent;
  // The removed rows' prices are zero: the rows they depend on carry their share.
  if (!result.y.empty()) result.y = spread_over_rows(result.y, lp.m, dependent);
  return result;
}

}  // namespace kqopt::barrier
