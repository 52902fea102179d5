// The 180- and 90-degree fisheye lenses: lens models (direction -> lens plane), panorama
// projections (panorama plane -> direction) and the projection build.
#pragma once
#include <cstdint>

#include "config/camera_record.h"

namespace orb {
struct DewarpView;
}

namespace orb {

enum HalfSphereLensModel : int32_t {
    kModelOrthographic = 0,
    kModelEquisolid = 1,
    kModelEquidistant = 2,
    kModelStereographic = 3,
    kModelLongitudeProportional = 4,
    kModelRectilinear = 5,
    kModelPerspective = 6,
};

enum PanoramaProjection : int32_t {
    kProjEquirectangular = 0,
    kProjStandardParallel = 1,
    kProjEqualArea = 2,
    kProjMercator = 3,
    kProjMiller = 4,
    kProjNone = 7,
};

// Derived values of the projection build; angles in degrees unless named radians.
struct HalfSphereModel {
    int32_t model = 0, projection = 0;
    double lamMax = 90, lamMin = -90, phiMax = 90, phiMin = -90;  // the model's limits
    double clampLamMax = 90, clampLamMin = -90, clampPhiMax = 90, clampPhiMin = -90;
    double halfFovRad = 0, K = 1, d = 10;
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;  // panorama bounds, projection units
    double aspect = 1;
    int32_t valid = 0;  // bounds with positive spans
};

// The lens model: (lambda, phi) in radians to the unit lens plane; false when the direction
// does not reach the picture. Latitude grows downwards in the picture.
bool LensModelForward(const HalfSphereModel& m, double lam, double phi, double& x, double& y);
// Its inverse, used to check the models: lens plane to direction.
bool LensModelInverse(const HalfSphereModel& m, double x, double y, double& lam, double& phi);
// Panorama projection forward (bounds) and inverse (per pixel), radians.
bool ProjectionForward(int32_t projection, double lam, double phi, double& x, double& y);
bool ProjectionInverse(int32_t projection, double u, double v, double& lam, double& phi);

// Selector load: the record's selectors with fall-backs written back, and the model limits.
void LoadHalfSphereSelectors(CameraRecord& r, HalfSphereModel& m);
// Projection build: clamped limits, K, bounds, panoramaLimits written back, crops fitted.
void BuildHalfSphereProjection(DewarpView& view, HalfSphereModel& m);
// The perspective preset check of the five perspective presets.
void CheckPerspectivePresets(DewarpView& view);

}  // namespace orb
