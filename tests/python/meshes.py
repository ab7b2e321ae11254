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
    i, j = np.meshgrid(np.arange(stacks - 2), np.arange(slices), indexing="ij")
    bands = np.stack([np.stack([at(i, j), at(i + 1, j), at(i + 1, j + 1)], -1),
                      np.stack([at(i, j), at(i + 1, j + 1), at(i, j + 1)], -1)], 2).reshape(-1, 3)
    j = np.arange(slices)
    caps = [np.stack([np.zeros_like(j), at(0, j), at(0, j + 1)], -1),
            np.stack([np.full_like(j, len(vertices) - 1), at(stacks - 2, j + 1), at(stacks - 2, j)], -1)]
    return vertices * radius + centre, np.concatenate([bands, *caps])
