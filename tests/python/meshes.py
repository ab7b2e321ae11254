"""Meshes the Python tests generate."""

import numpy as np


def sphere(stacks, centre, radius):
    """A latitude-longitude sphere of about 4 * stacks**2 triangles, closed by a fan at each pole."""
    slices = 2 * stacks
    polar, azimuth = np.meshgrid(np.pi * np.arange(1, stacks) / stacks, np.pi * np.arange(slices) / stacks,
                                 indexing="ij")
    ring = np.stack([np.sin(polar) * np.cos(azimuth), np.sin(polar) * np.sin(azimuth), np.cos(polar)], -1)
    vertices = np.concatenate([[[0, 0, 1]], ring.reshape(-1, 3), [[0, 0, -1]]])
    at = lambda i, j: 1 + i * slices + j % slices  # noqa: E731
    i, j = np.arange(stacks - 2, dtype=np.uint32)[:, None], np.arange(slices, dtype=np.uint32)[None, :]
    # Filled corner by corner: stacking 20 million triangles' corners takes numpy several seconds.
    bands = np.empty((stacks - 2, slices, 2, 3), dtype=np.uint32)
    for corner, (di, dj) in enumerate([(0, 0), (1, 0), (1, 1)]):
        bands[:, :, 0, corner] = at(i + di, j + dj)
    for corner, (di, dj) in enumerate([(0, 0), (1, 1), (0, 1)]):
        bands[:, :, 1, corner] = at(i + di, j + dj)
    bands = bands.reshape(-1, 3)
    j = np.arange(slices)
    caps = [np.stack([np.zeros_like(j), at(0, j), at(0, j + 1)], -1),
            np.stack([np.full_like(j, len(vertices) - 1), at(stacks - 2, j + 1), at(stacks - 2, j)], -1)]
    return vertices * radius + centre, np.concatenate([bands, *caps])
