// The bending term of a two-face edge, with plasticity of its rest angle.
#include "solver/StageDetail.h"

namespace velmora::solver {

void applyBendingTerm(EdgeConstraint& record, const EdgeFrame& frame, const Point3* positions,
                      const Point3* faceNormals, float bendiness, float plasticity, ContributionSink& sink) {
    const Point3& n0 = faceNormals[record.face0];
    const Point3& n1 = faceNormals[record.face1];
    if (isZero(n0) || isZero(n1)) {
        // A face of zero area has no normal, so its angle means nothing: no push, no plasticity.
        sink.skip(record.opposite0);
        sink.skip(record.opposite1);
        sink.skip(record.vert0);
        sink.skip(record.vert1);
        return;
    }
    const BendTerms t = bendTerms(frame, record.restAngle, positions[record.vert0], positions[record.opposite1], n0,
                                  n1, bendiness, plasticity);
    record.restAngle = t.restAngle;
    sink.add(record.opposite0, -t.pushOpposite0);
    sink.add(record.opposite1, -t.pushOpposite1);
    sink.add(record.vert0, t.pushEdge);
    sink.add(record.vert1, t.pushEdge);
}

}  // namespace velmora::solver
