#pragma once

// Makes the session available to views as the singleton "AuthManager" of the
// module "Vocarta.Models" 1.0 (isAuthenticated, isLoading, error, userEmail,
// signInWithLinkCode(), signOut() ...). Safe to call more than once.
void registerAuthQmlTypes();
