// TWaterSim: splashes, the height-field step and the surface normals.
#include "scenes/Water.h"

#include <cmath>

#include "timeline/ShowClock.h"

void TWaterSim::Create() {
  Damping = 0.96f;
  for (int i = 0; i < Size; ++i) {
    for (int j = 0; j < Size; ++j) {
      Height[i][j] = 0.0f;
      Velocity[i][j] = 0.0f;
      Normals[i][j] = {};
    }
  }
}

void TWaterSim::Splash(int row, int column, float strength) {
  // The rail scene picks centres from 0 to 40, so a stamp can reach row or column -1; those
  // cells do not exist and are left out.
  const float edge = strength / 2.0f;
  const float corner = strength / 3.0f;
  for (int di = -1; di <= 1; ++di) {
    for (int dj = -1; dj <= 1; ++dj) {
      const int i = row + di, j = column + dj;
      if (i < 0 || i >= Size || j < 0 || j >= Size) continue;
      const int away = (di != 0) + (dj != 0);
      Velocity[i][j] = away == 0 ? strength : away == 1 ? edge : corner;
    }
  }
}

void TWaterSim::Step(float scale, float sixtieths) {
  const float damping = FactorForStep(Damping, sixtieths);
  for (int i = 2; i <= 61; ++i) {
    for (int j = 2; j <= 61; ++j) {
      const float edges = Height[i - 1][j] + Height[i + 1][j] + Height[i][j - 1] + Height[i][j + 1];
      const float corners =
          Height[i - 1][j - 1] + Height[i + 1][j - 1] + Height[i - 1][j + 1] + Height[i + 1][j + 1];
      // The weights add up to 20 but are divided by 25, so a raised surface sinks back to 0.
      Velocity[i][j] += (Height[i][j] - (4.0f * edges + corners) / 25.0f) / 7.0f * sixtieths;
    }
  }
  for (int i = 2; i <= 61; ++i) {
    for (int j = 2; j <= 61; ++j) {
      Height[i][j] -= Velocity[i][j] * scale;
      Velocity[i][j] *= damping;
    }
  }
  for (int i = 0; i < Size; ++i) {
    for (int j = 0; j < Size; ++j) {
      if (i == 0 || j == 0 || i == Size - 1 || j == Size - 1) {
        Normals[i][j] = {0.0f, 1.0f, 0.0f};
        continue;
      }
      Vector3 n{Height[i + 1][j] - Height[i - 1][j], -2048.0f, Height[i][j + 1] - Height[i][j - 1]};
      const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
      if (length != 0.0f) n = {n.x / length, n.y / length, n.z / length};
      Normals[i][j] = n;
    }
  }
}
